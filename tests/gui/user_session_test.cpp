// As a user meets the window: the real sensorvisor-sim on the demo board,
// driven by real input events through xdotool (keyboard mnemonics and mouse
// clicks), its effects checked in the sandbox it leaves: the saved
// configuration, the mail an alert sent.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "gui/gui_main.h"
#include "gui/main_window.h"
#include "gui/registry.h"
#include "support/sandbox.h"
#include "support/sim_run.h"
#include "support/x_display.h"

namespace {

// Runs an xdotool command line on `display`; each is bounded, so a window
// that never comes fails the test instead of hanging it.
std::string xdotool(const XDisplay& display, const std::string& arguments) {
    std::string command =
        "DISPLAY=" + display.name() + " timeout 30 xdotool " + arguments + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    EXPECT_EQ(pclose(pipe), 0) << command << "\n" << output;
    return output;
}

struct Point {
    int x, y;
};

// Where a button of the Items page lies in the main window, from the same
// window built here (same code, same fonts and theme).
std::pair<Point, Point> items_page_buttons() {
    GtkWidget* window = myapp1 = create_app1();
    gtk_widget_show(window);
    gtk_notebook_set_current_page(GTK_NOTEBOOK(lookup_widget(window, "notebook1")), 4);
    while (gtk_events_pending()) gtk_main_iteration();
    auto centre = [&](const char* name) {
        GtkWidget* button = lookup_widget(window, name);
        GtkAllocation a;
        gtk_widget_get_allocation(button, &a);
        Point p{};
        gtk_widget_translate_coordinates(button, window, a.width / 2, a.height / 2, &p.x, &p.y);
        return p;
    };
    std::pair<Point, Point> buttons{centre("buttonUnselectAll"), centre("buttonItemsSave")};
    reset_gui_state();
    gdk_flush();  // gone from the display before the program's window comes
    return buttons;
}

std::string click(const std::string& window, Point p) {
    return "mousemove --window " + window + " " + std::to_string(p.x) + " " + std::to_string(p.y) +
           " click 1";
}

TEST(UserSession, UnselectAllAndSaveThenQuit) {
    auto [unselect, save] = items_page_buttons();
    // The program and the events get a display of their own.
    XDisplay display(true);
    const std::string board = std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json";
    TempDir scratch;
    const std::string root = scratch.path() + "/root";
    ChildProcess sim(SV_SIM_PATH, {"--board", board, "--root", root}, {"DISPLAY=" + display.name()},
                     90);

    std::string window =
        xdotool(display, "search --sync --onlyvisible --pid " + std::to_string(sim.pid()) +
                             " --name '^Sensorvisor II$'");
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty());
    const std::string original = read_whole_file(root + "/etc/Senvis.ini");

    // Setup > Items by its mnemonics, then the two buttons by mouse.
    xdotool(display, "windowfocus --sync " + window + " key alt+s sleep 0.5 key m sleep 0.5");
    xdotool(display, click(window, unselect) + " sleep 0.5 " + click(window, save));
    xdotool(display, "search --sync --onlyvisible --pid " + std::to_string(sim.pid()) +
                         " --name '^Information / Warning$'");
    // File > Quit ends the program.
    xdotool(display, "windowfocus --sync " + window + " key alt+f sleep 0.5 key q");
    SimResult result = sim.finish();
    EXPECT_EQ(result.status, 0) << result.err;

    std::string saved = read_whole_file(root + "/etc/Senvis.ini");
    EXPECT_EQ(read_whole_file(root + "/etc/Senvis.ini.old"), original);
    EXPECT_EQ(saved, std::regex_replace(original, std::regex("MONITOR=TRUE"), "MONITOR=FALSE"));
    EXPECT_NE(saved, original);
}

TEST(UserSession, AFailingFanRaisesTheAlertWindowAndMails) {
    // The demo board on its real clock, polled every second, e-mail alerts
    // on; its intrusion latch clear and its CPU1 fan stopping (255 counts,
    // 1323 RPM against 1500) from the 4th to the 6th second of every 6.
    nlohmann::json board =
        nlohmann::json::parse(read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json"));
    nlohmann::json& chip = board["ports"]["0x295"]["index_data"]["registers"];
    chip["0x29"] = {{"values", {"0x64", "0x64", "0xFF"}}, {"every", 2}};
    chip["0x42"] = "0x00";
    std::string ini = board["files"]["/etc/Senvis.ini"];
    ini = std::regex_replace(ini, std::regex("POLLING=5"), "POLLING=1");
    board["files"]["/etc/Senvis.ini"] =
        std::regex_replace(ini, std::regex("MAILALERT=FALSE"), "MAILALERT=TRUE");
    TempDir scratch;
    write_whole_file(scratch.path() + "/board.json", board.dump());
    const std::string root = scratch.path() + "/root";

    XDisplay display(true);
    ChildProcess sim(SV_SIM_PATH, {"--board", scratch.path() + "/board.json", "--root", root},
                     {"DISPLAY=" + display.name()}, 90);
    std::string window =
        xdotool(display, "search --sync --onlyvisible --pid " + std::to_string(sim.pid()) +
                             " --name '^Sensorvisor II$'");
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty());
    // Nothing fails at start: the alert window comes with the fan.
    std::string alerts = xdotool(display, "search --sync --onlyvisible --name '^Alert Messages$'");
    EXPECT_FALSE(alerts.empty());

    const std::string sent = root + "/var/mail/sent";
    std::string mail;
    for (int tries = 0; tries < 100 && mail.find("Failed(Bad)!") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (std::filesystem::exists(sent)) mail = read_whole_file(sent);
    }
    // Ctrl+Q ends it as File > Quit does.
    xdotool(display, "windowfocus --sync " + window + " key ctrl+q");
    SimResult result = sim.finish();
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string head =
        "To: root@localhost\nSubject: Alert: system health warning!\n\n"
        "The system 'vb130-demo' has the following health information:\n"
        "CPU1 Fan Failed(Bad)!\nat ";
    ASSERT_EQ(mail.substr(0, head.size()), head);
    EXPECT_TRUE(std::regex_match(mail.substr(head.size(), 26),
                                 std::regex(R"(\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}\n\n)")))
        << mail;
    EXPECT_NE(result.out.find("Send an alert through E-mail successfully.\n"), std::string::npos);
}

}  // namespace
