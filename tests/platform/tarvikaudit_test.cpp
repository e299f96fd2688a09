// Tests of the libtarvikaudit stand-in: the audit parameter table and its scoped guard.
#include <tarvikaudit.h>

#include <gtest/gtest.h>

TEST(TarvikAuditTest, SetReturnsThePreviousValueAndEmptyRemoves) {
    EXPECT_EQ("", TarvikAudit::SetAuditParam("audit-test-key", "alice"));
    EXPECT_EQ("alice", TarvikAudit::SetAuditParam("audit-test-key", "bob"));
    EXPECT_EQ("", TarvikAudit::SetAuditParam("audit-test-other", "x")); // keys are independent
    EXPECT_EQ("bob", TarvikAudit::SetAuditParam("audit-test-key", ""));
    EXPECT_EQ("", TarvikAudit::GetAuditParam("audit-test-key"));
    EXPECT_EQ("x", TarvikAudit::SetAuditParam("audit-test-other", ""));
}

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
