#include "desc/CDescTable.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { EXPECT_EQ(qm::CDescTable::TypeCodeFromName("dword"), 3); }
