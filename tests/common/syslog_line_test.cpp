// The syslog routine: identifier, option and facility, the "%s\n" line, the
// 256-byte message buffer, and syslog closed again after every line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include "common/syslog_line.h"
#include "support/sandbox.h"
#include "sys/forwarding_sys.h"

namespace {

// Records the three syslog calls in front of a virtual board.
struct SyslogRecorder final : ForwardingSys {
    using ForwardingSys::ForwardingSys;
    std::vector<std::string> calls;
    void openlog(const char* ident, int option, int facility) override {
        calls.push_back("openlog " + std::string(ident) + " " + std::to_string(option) + " " +
                        std::to_string(facility));
    }
    void syslog(int priority, const char* message) override {
        calls.push_back("syslog " + std::to_string(priority) + " " + message);
    }
    void closelog() override { calls.push_back("closelog"); }
};

TEST(SyslogLine, OpensLogsTheLineCutAt255AndCloses) {
    Sandbox sb;
    SyslogRecorder recorder(sb.board());
    ScopedSys installed(recorder);
    logInSysLog(LOG_WARNING, "bank (%d) of '%s' at 0x%02x.", 1, "CPU Fan", 0x4E);
    logInSysLog(LOG_ERR, "item '%s'", std::string(300, 'x').c_str());
    const std::string open = "openlog kvmd " + std::to_string(LOG_PID) + " 0";
    EXPECT_THAT(recorder.calls,
                testing::ElementsAre(open, "syslog 4 bank (1) of 'CPU Fan' at 0x4e.\n", "closelog",
                                     open, "syslog 3 item '" + std::string(249, 'x') + "\n",
                                     "closelog"));
}

}  // namespace
