# Sourced by the scripts that configure a build dir (from the top of the tree).
# Ninja when installed, for new build dirs only (an existing one keeps its
# generator): it starts a target's compiles before the libraries it links
# are done, and spawns far fewer processes than make.
if [ -z "${CMAKE_GENERATOR:-}" ] && command -v ninja >/dev/null 2>&1; then export CMAKE_GENERATOR=Ninja; fi
