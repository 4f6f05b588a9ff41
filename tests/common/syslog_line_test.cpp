// The syslog routine: identifier, option and facility, the "%s\n" line, the
// 256-byte message buffer, and syslog closed again after every line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/syslog_line.h"
#include "sys/sys.h"

namespace {

using testing::ElementsAre;

// Records the syslog calls; any other call is a fault of the routine.
class SyslogRecorder final : public Sys {
public:
    std::vector<std::string> calls;

    void openlog(const char* ident, int option, int facility) override {
        calls.push_back("openlog " + std::string(ident) + " " + std::to_string(option) + " " +
                        std::to_string(facility));
    }
    void syslog(int priority, const char* message) override {
        calls.push_back("syslog " + std::to_string(priority) + " " + message);
    }
    void closelog() override { calls.push_back("closelog"); }

    uid_t getuid() override { unexpected(); }
    time_t time(time_t*) override { unexpected(); }
    unsigned sleep(unsigned) override { unexpected(); }
    int usleep(useconds_t) override { unexpected(); }
    FILE* fopen(const char*, const char*) override { unexpected(); }
    int rename(const char*, const char*) override { unexpected(); }
    int unlink(const char*) override { unexpected(); }
    int stat(const char*, struct stat*) override { unexpected(); }
    int lstat(const char*, struct stat*) override { unexpected(); }
    DIR* opendir(const char*) override { unexpected(); }
    int chmod(const char*, mode_t) override { unexpected(); }
    int open(const char*, int, mode_t) override { unexpected(); }
    int close(int) override { unexpected(); }
    ssize_t read(int, void*, size_t) override { unexpected(); }
    ssize_t write(int, const void*, size_t) override { unexpected(); }
    int fsync(int) override { unexpected(); }
    off_t lseek(int, off_t, int) override { unexpected(); }
    int ioctl(int, unsigned long, void*) override { unexpected(); }
    void* mmap(void*, size_t, int, int, int, off_t) override { unexpected(); }
    int munmap(void*, size_t) override { unexpected(); }
    int wait_readable(int, int) override { unexpected(); }
    int iopl(int) override { unexpected(); }
    int ioperm(unsigned long, unsigned long, int) override { unexpected(); }
    uint8_t inb(uint16_t) override { unexpected(); }
    void outb(uint8_t, uint16_t) override { unexpected(); }
    uint32_t inl(uint16_t) override { unexpected(); }
    void outl(uint32_t, uint16_t) override { unexpected(); }
    FILE* popen(const char*, const char*) override { unexpected(); }
    int pclose(FILE*) override { unexpected(); }
    int system(const char*) override { unexpected(); }
    pid_t fork() override { unexpected(); }
    int execlp(const char*, const char*) override { unexpected(); }
    pid_t waitpid(pid_t, int*, int) override { unexpected(); }
    [[noreturn]] void exit(int) override { unexpected(); }
    [[noreturn]] void _exit(int) override { unexpected(); }

private:
    [[noreturn]] static void unexpected() {
        ADD_FAILURE() << "logInSysLog made a call other than openlog/syslog/closelog";
        std::abort();
    }
};

TEST(SyslogLine, OpensLogsTheLineAndCloses) {
    SyslogRecorder recorder;
    ScopedSys installed(recorder);
    logInSysLog(LOG_WARNING, "bank (%d) of '%s' at 0x%02x.", 1, "CPU Fan", 0x4E);
    logInSysLog(LOG_ERR, "plain");
    const std::string open = "openlog kvmd " + std::to_string(LOG_PID) + " 0";
    EXPECT_THAT(recorder.calls, ElementsAre(open, "syslog 4 bank (1) of 'CPU Fan' at 0x4e.\n",
                                            "closelog", open, "syslog 3 plain\n", "closelog"));
}

TEST(SyslogLine, MessageIsCutAt255Characters) {
    SyslogRecorder recorder;
    ScopedSys installed(recorder);
    const std::string name(300, 'x');
    logInSysLog(LOG_WARNING, "item '%s'", name.c_str());
    ASSERT_EQ(3u, recorder.calls.size());
    const std::string expected = "item '" + std::string(255 - 6, 'x') + "\n";
    EXPECT_EQ("syslog 4 " + expected, recorder.calls[1]);
}

}  // namespace
