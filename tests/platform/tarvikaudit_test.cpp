// Tests of the libtarvikaudit stand-in: the audit parameter table and its scoped guard.
#include <tarvikaudit.h>

#include <gtest/gtest.h>

TEST(TarvikAuditTest, GuardRestoresThePreviousValueInReverseOrder) {
    {
        TarvikAudit::AuditParamOnStack outer("audit-guard", "first");
        {
            TarvikAudit::AuditParamOnStack inner("audit-guard", "second");
            EXPECT_EQ("first", inner.GetPreviousValue());
            EXPECT_EQ("second", TarvikAudit::GetAuditParam("audit-guard"));
        }
        EXPECT_EQ("", outer.GetPreviousValue());
        EXPECT_EQ("first", TarvikAudit::GetAuditParam("audit-guard"));
    }
    EXPECT_EQ("", TarvikAudit::GetAuditParam("audit-guard"));
}
