// The batch plan's reading: columns by name, start values, and every way a
// plan is refused before anything runs.
#include <gtest/gtest.h>

#include "batch_plan.h"

namespace {

TEST(BatchPlan, ColumnsByNameInAnyOrderWithStartValuesForEmptyCells) {
  const xavconfig::Plan plan = xavconfig::parsePlan(
      "# line 4\n"
      "Title, PLC ,Protocol,Address,Register\n"
      "\n"
      "Infeed,10.1.2.3,MODBUS,127.000.000.021,\r\n"
      "Press,10.1.2.4,pccc,127.0.0.22,\n");
  ASSERT_TRUE(plan.ok()) << plan.errors.join(u'\n').toStdString();
  ASSERT_EQ(plan.rows.size(), 2);
  EXPECT_EQ(plan.rows[0].line, 4);
  EXPECT_EQ(plan.rows[0].address, "127.0.0.21");
  EXPECT_EQ(plan.rows[0].entries.protocol, gw::kModbusTcp);
  EXPECT_EQ(plan.rows[0].entries.startRegister, "40001");
  EXPECT_EQ(plan.rows[0].entries.title, "Infeed");
  EXPECT_EQ(plan.rows[1].entries.fileNumber, "7");
  EXPECT_EQ(plan.rows[1].entries.baseElement, "0");
}

TEST(BatchPlan, RefusedWholeWithTheLineThatIsWrong) {
  const struct {
    const char* plan;
    const char* error;
  } cases[] = {
      {"", "the plan has no header row"},
      {"address,protocol,plc\n", "the plan has no rows"},
      {"address,protocol\n127.0.0.2,cip\n", "line 1: no column \"plc\""},
      {"address,protocol,plc,colour\n", "line 1: unknown column \"colour\""},
      {"address,protocol,plc,title\n127.0.0.2,cip,10.1.2.3,Press, west\n", "line 2: 5 cells for 4 columns"},
      {"address,protocol,plc\n127.0.0.256,cip,10.1.2.3\n", "line 2: \"127.0.0.256\" is not a dotted IPv4"},
      {"address,protocol,plc,file\n127.0.0.2,pccc,10.1.2.3,6\n", "line 2: "},
      {"address,protocol,plc\n127.0.0.2,cip,10.1.2.3\n127.0.0.2,pccc,10.1.2.3\n",
       "line 3: module 127.0.0.2 is already planned on line 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plan);
    const xavconfig::Plan plan = xavconfig::parsePlan(c.plan);
    EXPECT_FALSE(plan.ok());
    EXPECT_TRUE(plan.errors.join(u'\n').contains(QLatin1String(c.error))) << plan.errors.join(u'\n').toStdString();
  }
}

}  // namespace
