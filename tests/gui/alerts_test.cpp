// Alerts in the window the monitor's start-up builds: the alert check on a
// board whose readings change with the (virtual) clock, the alert window's
// buttons, the Alert page's settings, test mail and Save. What `mail`
// received is read from the sandbox's /var/mail/sent.
#include <gtest/gtest.h>

#include <cstring>

#include "alert/alert_list.h"
#include "alert/alert_window.h"
#include "alert/mail_script.h"
#include "app/app_board.h"
#include "gui/main_window.h"
#include "gui/refresh_cycle.h"
#include "gui/registry.h"
#include "gui/window_fixture.h"

namespace {

const std::string kHeader = "This system has the health information:\n\n";

class AlertTest : public WindowTest {
protected:
    std::string alert_label(const char* name) {
        return gtk_label_get_text(GTK_LABEL(lookup_widget(mywindowAlertMessage, name)));
    }
    bool alert_window_shown() { return gtk_widget_get_visible(mywindowAlertMessage); }
    void click(GtkWidget* button) { gtk_button_clicked(GTK_BUTTON(button)); }
    void type(const char* entry, const char* text) {
        gtk_entry_set_text(GTK_ENTRY(widget(entry)), text);
    }
    void set_switch(bool on) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget("checkbuttonMailAlert")), on);
    }
    bool switch_on() {
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget("checkbuttonMailAlert")));
    }
    std::string sent_mail() {
        return sandbox->exists("/var/mail/sent") ? sandbox->read_file("/var/mail/sent") : "";
    }
    // A refresh `seconds` after start-up; what it printed.
    std::string refresh_at(int seconds) {
        sandbox->board().clock().sleep_ns(int64_t(seconds) * 1'000'000'000 -
                                          sandbox->board().clock().elapsed_ns());
        OutputCapture console;
        updateAll();
        return console.out();
    }
};

// A board of tests/gui/boards (each says what it holds).
std::string gui_board(const char* name) {
    return read_whole_file(std::string(SV_TESTS_DIR) + "/gui/boards/" + name + ".json");
}

class AlertCheck : public AlertTest {
protected:
    std::string board_json() override { return gui_board("alert-check"); }
};

TEST_F(AlertCheck, OneMessagePerRefreshThatFindsChanges) {
    // Start-up's check: the rail fails; the unmonitored latch says nothing.
    EXPECT_EQ(alert_label("labelAlertMsg"),
              kHeader + "CPU1 Core Voltage Failed(Bad)!\nat Fri Dec  4 23:13:59 2026\n");
    EXPECT_EQ(alert_label("labelIndexCount"), "1/1");
    EXPECT_TRUE(alert_window_shown());
    // E-mail alerts are off: no script is even written.
    EXPECT_FALSE(sandbox->exists(kMailScriptPath));

    struct Step {
        int seconds;
        const char* recipients;  // nullptr: e-mail alerts off
        std::string changes;     // "": no alert
        const char* position;
        std::string console;
    };
    const Step steps[] = {
        {5, nullptr,
         "Front Fan 1 Failed(Bad)!\nCPU1 Core Voltage OK(Good)!\nCPU1 Temperature Failed(Bad)!\n"
         "at Fri Dec  4 23:14:04 2026\n",
         "2/2", ""},
        {10, "root@localhost", "", "2/2", ""},
        {15, "root@localhost",
         "Front Fan 1 OK(Good)!\nCPU1 Temperature OK(Good)!\nat Fri Dec  4 23:14:14 2026\n", "3/3",
         "Send an alert through E-mail successfully.\n"},
        {20, "root@localhost; touch owned",
         "CPU1 Core Voltage Failed(Bad)!\nat Fri Dec  4 23:14:19 2026\n", "4/4",
         std::string(kRecipientsRefused) + "\n"},
    };
    for (const Step& s : steps) {
        if (s.recipients != nullptr) {
            type("entryRecipientMailbox", s.recipients);
            set_switch(true);
        }
        gtk_widget_hide(mywindowAlertMessage);
        std::string before = alert_label("labelAlertMsg");
        EXPECT_EQ(refresh_at(s.seconds), s.console) << s.seconds;
        EXPECT_EQ(alert_label("labelAlertMsg"), s.changes.empty() ? before : kHeader + s.changes)
            << s.seconds;
        EXPECT_EQ(alert_label("labelIndexCount"), s.position) << s.seconds;
        EXPECT_EQ(alert_window_shown(), !s.changes.empty()) << s.seconds;
    }
    EXPECT_EQ(sent_mail(),
              "To: root@localhost\nSubject: Alert: system health warning!\n\n"
              "The system 'lab-7' has the following health information:\n" +
                  steps[2].changes + "\n");
    EXPECT_FALSE(sandbox->exists("/owned"));

    // An item's slot reads normal while it is not monitored: the set latch
    // raises its alert each time it is switched on.
    set_switch(false);
    int32_t latch = ctx->itemCount - 1;
    for (int32_t monitor : {1, 0, 1}) {
        ctx->items[latch].monitor = allItemDisps[latch].monitor = monitor;
        refresh_at(20);
    }
    EXPECT_EQ(alert_label("labelAlertMsg"),
              kHeader + "Case Open Failed(Bad)!\nat Fri Dec  4 23:14:19 2026\n");
    EXPECT_EQ(alert_label("labelIndexCount"), "6/6");
}

class SeventeenTemperatures : public AlertTest {
protected:
    std::string board_json() override { return gui_board("alert-seventeen"); }
};

class SixteenTemperatures : public AlertTest {
protected:
    std::string board_json() override { return gui_board("alert-sixteen"); }
};

TEST_F(SixteenTemperatures, ChangesBeyondOneMessageComeWithTheNextRefresh) {
    // At 5 s 18 items change, more than 511 characters of message: the last
    // two wait for the next refresh, when they still fail.
    std::string lines;
    for (int i = 2; i <= 14; ++i) lines += "Temperature " + std::to_string(i) + " Failed(Bad)!\n";
    refresh_at(5);
    const std::string first = kHeader +
                              "Front Fan 1 Failed(Bad)!\nCPU1 Core Voltage OK(Good)!\n"
                              "CPU1 Temperature Failed(Bad)!\n" +
                              lines + "at Fri Dec  4 23:14:04 2026\n";
    EXPECT_EQ(alert_label("labelAlertMsg"), first);
    EXPECT_LE(first.size(), 511u);
    refresh_at(10);
    EXPECT_EQ(alert_label("labelAlertMsg"),
              kHeader +
                  "Temperature 15 Failed(Bad)!\nTemperature 16 Failed(Bad)!\n"
                  "at Fri Dec  4 23:14:09 2026\n");
    EXPECT_EQ(alert_label("labelIndexCount"), "3/3");
}

TEST_F(SeventeenTemperatures, TheSeventeenthEndsEveryCheckWithoutAnAlert) {
    // Start-up's check met the failing rail, then the 17th temperature; at
    // 5 s the fan and every temperature fail too. No check gets to its end.
    EXPECT_EQ(ctx->system->mailAlert, 1u);
    std::string console = refresh_at(5);
    const std::string range = " build_Alert(): idxThermal out of range. \n";
    EXPECT_NE(console.find(range), std::string::npos) << console;
    EXPECT_EQ(console.find(range), console.rfind(range)) << console;
    EXPECT_EQ(alert_label("labelAlertMsg"), "No message!");
    EXPECT_EQ(alert_label("labelIndexCount"), "0/0");
    EXPECT_FALSE(alert_window_shown());
    EXPECT_EQ(sent_mail(), "");
}

// On the demo board, whose intrusion latch is set: start-up's check raised
// one alert.
TEST_F(AlertTest, AlertWindowButtons) {
    const std::string latch =
        kHeader + "Chassis Intrusion Failed(Bad)!\nat Fri Dec  4 23:13:59 2026\n";
    auto add = [](const char* message) {
        AlertMsgNode* node = new_alert_msg_node();
        node->message = strdup(message);
        append_alert_msg_node(alert_msg_head, node);
        current_alert_msg_node = node;
    };
    struct Step {
        const char* button;
        std::string message;  // shown afterwards
        const char* position;
    };
    const Step steps[] = {
        {"buttonAcknowledge", "No message!", "0/0"},  // the only message
        {"buttonAcknowledge", "No message!", "0/0"},  // nothing to acknowledge
        {"buttonUp", "No message!", "0/0"},
        {"buttonDown", "No message!", "0/0"},
        {nullptr, "three", "3/3"},  // three alerts raised
        {"buttonDown", "three", "3/3"},
        {"buttonUp", "two", "2/3"},
        {"buttonUp", "one", "1/3"},
        {"buttonUp", "one", "1/3"},
        {"buttonAcknowledge", "two", "1/2"},  // the first
        {"buttonDown", "three", "2/2"},
        {"buttonAcknowledge", "two", "1/1"},  // the last
    };
    EXPECT_EQ(alert_label("labelAlertMsg"), latch);
    EXPECT_EQ(alert_label("labelIndexCount"), "1/1");
    for (const Step& s : steps) {
        if (s.button == nullptr) {
            for (const char* m : {"one", "two", "three"}) add(m);
            show_alert_message(mywindowAlertMessage, current_alert_msg_node);
        } else {
            click(lookup_widget(mywindowAlertMessage, s.button));
        }
        std::string where = s.button == nullptr ? "raised" : s.button;
        EXPECT_EQ(alert_label("labelAlertMsg"), s.message) << where << " to " << s.position;
        EXPECT_EQ(alert_label("labelIndexCount"), s.position) << where << " to " << s.position;
    }
    ASSERT_NE(alert_msg_head, nullptr);
    EXPECT_EQ(alert_msg_head->message, nullptr);

    // Dismiss hides the window and keeps the messages; Show brings it back
    // beside the main window.
    click(lookup_widget(mywindowAlertMessage, "buttonDismiss"));
    EXPECT_FALSE(alert_window_shown());
    EXPECT_EQ(get_alert_msg_node_count(alert_msg_head), 1);
    click(widget("buttonShowAlertMessage"));
    EXPECT_TRUE(alert_window_shown());
    gint x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(mywindowAlertMessage), &x, &y);
    EXPECT_EQ(x, 640 + 12);
    EXPECT_EQ(y, 600 - 200);
    EXPECT_EQ(alert_label("labelAlertMsg"), "two");
}

TEST_F(AlertTest, AlertPageSettingsTestMailAndSave) {
    // The page shows the configuration; typing changes the record at once.
    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(widget("entryMachineName"))), std::string("vb130-demo"));
    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(widget("entryRecipientMailbox"))),
              std::string("root@localhost"));
    EXPECT_FALSE(switch_on());

    const std::string named = "'Name for this system' must be filled!";
    const std::string addressed = "'Recipients' must be filled!";
    struct Case {
        const char* name;
        const char* recipients;
        std::string test_says;    // the dialog after E-mail Test (with the switch off)
        std::string switch_says;  // the dialog after switching on; "": it stays on
    };
    const Case cases[] = {
        {"", "", named, named},
        {"", "root", named, named},
        {"lab-7", "", addressed, addressed},
        {"lab-7", "root; touch owned", kRecipientsRefused, ""},
        {"lab-7", "root@localhost", "Send an alert through E-mail successfully.", ""},
    };
    for (const Case& c : cases) {
        set_switch(false);
        type("entryMachineName", c.name);
        type("entryRecipientMailbox", c.recipients);
        EXPECT_EQ(std::string(ctx->system->machineName), c.name);
        EXPECT_EQ(std::string(ctx->system->mailbox), c.recipients);

        click(widget("buttonMailTest"));
        EXPECT_EQ(dialog_texts(), std::vector<std::string>{c.test_says}) << c.recipients;
        dismiss_dialogs();

        set_switch(true);
        bool refused = !c.switch_says.empty();
        EXPECT_EQ(dialog_texts(),
                  refused ? std::vector<std::string>{c.switch_says} : std::vector<std::string>{})
            << c.name << "/" << c.recipients;
        dismiss_dialogs();
        EXPECT_EQ(switch_on(), !refused);
        EXPECT_EQ(ctx->system->mailAlert, refused ? 0u : 1u);
        if (refused) {
            EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(myapp1)), widget("checkbuttonMailAlert"));
        }
    }
    EXPECT_EQ(sent_mail(),
              "To: root@localhost\nSubject: Alert: E-mail Test!\n\n"
              "The system 'lab-7' has the following health information:\n"
              "E-mail Test!\nat Fri Dec  4 23:13:59 2026\n\n");
    EXPECT_FALSE(sandbox->exists("/owned"));

    // Save writes the name, the recipients and the switch, nothing else.
    std::string expected = sandbox->read_file("/etc/Senvis.ini");
    for (auto [from, to] : {std::pair{"MAILALERT=FALSE", "MAILALERT=TRUE"},
                            {"MACHINENAME=vb130-demo", "MACHINENAME=lab-7"}})
        expected.replace(expected.find(from), std::strlen(from), to);
    click(widget("buttonAlertSave"));
    EXPECT_EQ(sandbox->read_file("/etc/Senvis.ini"), expected);
    EXPECT_EQ(dialog_texts(), std::vector<std::string>{"Configuration has been saved."});
}

}  // namespace
