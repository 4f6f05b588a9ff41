// The mail script in a sandbox, where the seeded `mail` records what it
// received in /var/mail/sent: the script's text for ordinary input, and what
// stands at its name or reaches the shell when the input is hostile.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "alert/mail_script.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kBody = "CPU1 Fan Failed(Bad)!\nat Fri Dec  4 23:13:59 2026\n";

constexpr const char* kTmpRefused =
    "Error: /tmp lets other users replace root's files (it is not root's, or not sticky); "
    "no mail is sent.\n";

std::string sent_mail(const Sandbox& sandbox) {
    return sandbox.exists("/var/mail/sent") ? sandbox.read_file("/var/mail/sent") : "";
}

// Files that a command smuggled into the script would have made in its
// working directory, the sandbox's root.
std::vector<std::string> owned_files(const Sandbox& sandbox) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(sandbox.root()))
        if (entry.path().filename().string().rfind("owned", 0) == 0)
            found.push_back(entry.path().filename());
    return found;
}

class MailScript : public testing::Test {
protected:
    void SetUp() override {
        // The script is execute-only (0100): only root's shell can read it.
        if (geteuid() != 0) GTEST_SKIP() << "the mail script runs as root only";
    }
    Sandbox sandbox;
};

// The script's text as it stands; what `mail` received of it.
TEST_F(MailScript, OrdinaryTextAsItStandsAndWhatMailReceived) {
    const std::string recipients = "root@localhost admin@example.com";
    EXPECT_EQ(mail_script_text(kAlertSubject, recipients, "vb130-demo", kBody),
              "#!/bin/bash\n"
              "mail -s \"Alert: system health warning!\" root@localhost admin@example.com <<EOT\n"
              "The system 'vb130-demo' has the following health information:\n"
              "CPU1 Fan Failed(Bad)!\n"
              "at Fri Dec  4 23:13:59 2026\n"
              "EOT\n");
    EXPECT_EQ(send_mail_script(kTestSubject, recipients, "vb130-demo", kBody), MailOutcome::sent);
    EXPECT_EQ(sent_mail(sandbox),
              "To: root@localhost, admin@example.com\nSubject: Alert: E-mail Test!\n\n"
              "The system 'vb130-demo' has the following health information:\n" +
                  std::string(kBody) + "\n");
}

TEST(MailScriptSafety, HostileNamesContentsAndRecipients) {
    if (geteuid() != 0) GTEST_SKIP() << "the mail script runs as root only";
    struct Case {
        const char* what;
        void (*before)(const Sandbox& sandbox);
        std::string machine;
        std::string recipients;
        std::string body;
        MailOutcome outcome;
        std::string received;  // the here-document as `mail` got it; "" for no mail
    };
    auto script_name = [](const Sandbox& sandbox) { return sandbox.root() + kMailScriptPath; };
    const std::string header = "The system 'm' has the following health information:\n";
    const Case cases[] = {
        {"a link at the name to a file elsewhere",
         [](const Sandbox& sandbox) {
             sandbox.write_file("/etc/victim", "untouched\n");
             fs::create_symlink("/etc/victim", sandbox.root() + kMailScriptPath);
         },
         "m", "root", "x\n", MailOutcome::sent, header + "x\n"},
        {"a file another user made at the name",
         [](const Sandbox& sandbox) {
             std::string name = sandbox.root() + kMailScriptPath;
             write_whole_file(name, "#!/bin/sh\ntouch owned-by-them\n");
             chmod(name.c_str(), 0777);
             EXPECT_EQ(chown(name.c_str(), 65534, 65534), 0);
         },
         "m", "root", "x\n", MailOutcome::sent, header + "x\n"},
        {"shell syntax in the machine name and the body", nullptr,
         "$(touch owned1) `touch owned2` it's \\", "root",
         "Disk $(touch owned3) `touch owned4` 'q' ${HOME} \\` Failed(Bad)!\n", MailOutcome::sent,
         "The system '$(touch owned1) `touch owned2` it's \\' has the following health "
         "information:\nDisk $(touch owned3) `touch owned4` 'q' ${HOME} \\` Failed(Bad)!\n"},
        {"lines that read as the delimiter", nullptr, "m\nEOT\ntouch owned5", "root",
         "EOT\ntouch owned6\n", MailOutcome::sent,
         "The system 'm\n\\EOT\ntouch owned5' has the following health information:\n"
         "\\EOT\ntouch owned6\n"},
        {"a command after the recipients", nullptr, "m", "root@localhost; touch owned7", "x\n",
         MailOutcome::refused, ""},
        {"/tmp open to every user without the sticky bit",
         [](const Sandbox& sandbox) { fs::permissions(sandbox.root() + "/tmp", fs::perms::all); },
         "m", "root", "x\n", MailOutcome::not_written, ""},
        {"/tmp open to every user, sticky",
         [](const Sandbox& sandbox) {
             fs::permissions(sandbox.root() + "/tmp", fs::perms::all | fs::perms::sticky_bit);
         },
         "m", "root", "x\n", MailOutcome::sent, header + "x\n"},
    };
    for (const Case& c : cases) {
        Sandbox sandbox;
        if (c.before != nullptr) c.before(sandbox);
        OutputCapture console;
        EXPECT_EQ(send_mail_script(kAlertSubject, c.recipients, c.machine, c.body), c.outcome)
            << c.what;
        EXPECT_EQ(console.out(), c.outcome == MailOutcome::not_written ? kTmpRefused : "")
            << c.what;

        std::string mail;
        if (!c.received.empty())
            mail = "To: root\nSubject: Alert: system health warning!\n\n" + c.received + "\n";
        EXPECT_EQ(sent_mail(sandbox), mail) << c.what;
        EXPECT_EQ(owned_files(sandbox), std::vector<std::string>{}) << c.what;
        if (sandbox.exists("/etc/victim")) {
            EXPECT_EQ(sandbox.read_file("/etc/victim"), "untouched\n") << c.what;
        }
        struct stat st {};
        if (c.outcome == MailOutcome::sent) {
            // Whatever stood there, the name now holds root's own script.
            ASSERT_EQ(lstat(script_name(sandbox).c_str(), &st), 0) << c.what;
            EXPECT_TRUE(S_ISREG(st.st_mode)) << c.what;
            EXPECT_EQ(st.st_mode & 07777, 0100u) << c.what;
            EXPECT_EQ(st.st_uid, 0u) << c.what;
        } else {
            EXPECT_NE(lstat(script_name(sandbox).c_str(), &st), 0) << c.what;
        }
    }
}

TEST(MailScriptSafety, RecipientsAreMailAddressesOnly) {
    struct Case {
        const char* recipients;
        bool accepted;
    };
    const Case cases[] = {
        {"root", true},
        {"root@localhost", true},
        {"ops.team+alerts@example.com, a_b-c=d%e@mx.example.org", true},
        {"a@x\tb@y,c@z", true},
        {"", false},
        {" , ", false},
        {"root;id", false},
        {"root && id", false},
        {"root|id", false},
        {"root > /etc/passwd", false},
        {"$(id)", false},
        {"`id`", false},
        {"~root", false},
        {"'root'", false},
        {"root\nid", false},
        {"a@*", false},
        {"-r evil@x root", false},
        {"root,-r", false},
        {"r\xc3\xa9sum\xc3\xa9@example.com", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(recipients_are_addresses(c.recipients), c.accepted) << c.recipients;
}

}  // namespace
