#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qm::test {

// Who a piece of a test runs as.
struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
    // Supplementary groups besides gid.
    std::vector<gid_t> groups;
};

bool RunningAsRoot();

// The unprivileged account the tests use when they run as root, created
// when it is missing; none when the tests do not run as root. The account
// is removed again by the test run's clean-up step.
std::optional<Account> TestAccount();

// A group that neither root's nor the test account's own group is.
gid_t SharedGroup();

// Runs body in a child process as account and returns what body returned.
// The child's lock folder is a private one of its own.
std::string RunAs(const Account& account, const std::function<std::string()>& body);

} // namespace qm::test
