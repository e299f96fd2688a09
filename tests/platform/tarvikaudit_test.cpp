// Tests of the libtarvikaudit stand-in: the audit parameter table and its scoped guard.
#include <tarvikaudit.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(TarvikAuditTest, SetReturnsPreviousValueAndEmptyRemoves) {
    EXPECT_EQ("", TarvikAudit::GetAuditParam("audit-test-key"));
    EXPECT_EQ("", TarvikAudit::SetAuditParam("audit-test-key", "alice"));
    EXPECT_EQ("alice", TarvikAudit::GetAuditParam("audit-test-key"));
    EXPECT_EQ("alice", TarvikAudit::SetAuditParam("audit-test-key", "bob"));
    // Keys are independent.
    EXPECT_EQ("", TarvikAudit::SetAuditParam("audit-test-other", "x"));
    EXPECT_EQ("bob", TarvikAudit::GetAuditParam("audit-test-key"));
    EXPECT_EQ("bob", TarvikAudit::SetAuditParam("audit-test-key", ""));
    EXPECT_EQ("", TarvikAudit::GetAuditParam("audit-test-key"));
    EXPECT_EQ("", TarvikAudit::SetAuditParam("audit-test-key", ""));
    EXPECT_EQ("x", TarvikAudit::SetAuditParam("audit-test-other", ""));
}

TEST(TarvikAuditTest, GuardRestoresPreviousValueInReverseOrder) {
    {
        TarvikAudit::AuditParamOnStack outer("audit-guard", "first");
        EXPECT_EQ("audit-guard", outer.GetKey());
        EXPECT_EQ("", outer.GetPreviousValue());
        EXPECT_EQ("first", TarvikAudit::GetAuditParam("audit-guard"));
        {
            TarvikAudit::AuditParamOnStack inner("audit-guard", "second");
            EXPECT_EQ("first", inner.GetPreviousValue());
            EXPECT_EQ("second", TarvikAudit::GetAuditParam("audit-guard"));
        }
        EXPECT_EQ("first", TarvikAudit::GetAuditParam("audit-guard"));
    }
    EXPECT_EQ("", TarvikAudit::GetAuditParam("audit-guard"));
}

TEST(TarvikAuditTest, GuardRestoresWhenAnExceptionUnwinds) {
    TarvikAudit::SetAuditParam("user", "before");
    try {
        TarvikAudit::AuditParamOnStack guard("user", "@component");
        EXPECT_EQ("@component", TarvikAudit::GetAuditParam("user"));
        throw std::runtime_error("fail");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ("before", TarvikAudit::GetAuditParam("user"));
    TarvikAudit::SetAuditParam("user", "");
}

} // namespace
