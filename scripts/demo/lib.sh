# Helpers shared by the demo scripts (sourced, not run).

# run_gui CMD...: runs a window program on the display when there is one,
# else under Xvfb, else on the offscreen platform.
run_gui() {
  if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$@"
  elif command -v xvfb-run >/dev/null 2>&1; then
    echo "No display: running under Xvfb (the window is not visible)."
    xvfb-run -a "$@"
  else
    echo "No display and no Xvfb: running on Qt's offscreen platform (the window is not visible)."
    QT_QPA_PLATFORM=offscreen "$@"
  fi
}
