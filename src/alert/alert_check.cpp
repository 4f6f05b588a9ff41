#include "alert/alert_check.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "alert/alert_list.h"
#include "alert/alert_page.h"
#include "alert/alert_window.h"
#include "alert/mail_script.h"
#include "items/acquisition.h"

namespace {

constexpr int32_t kNormal = 1;
constexpr int32_t kFailed = 0;

// Each category's previous states, one slot per item of that category in
// configuration order, monitored or not; the slots match the window's
// widget groups.
int32_t fanStates[16];
int32_t voltageStates[60];
int32_t thermalStates[16];
int32_t statusStates[16];

struct SlotTable {
    int32_t category;
    int32_t* states;
    int32_t size;
    const char* overflow;  // when an item has no slot left; the check ends there
};
constexpr SlotTable kSlotTables[] = {
    {CAT_FAN, fanStates, int32_t(std::size(fanStates)), " build_Alert(): idxFan out of range. \n"},
    {CAT_VOLTAGE, voltageStates, int32_t(std::size(voltageStates)),
     " build_Alert(): idxVoltage out of range. \n"},
    {CAT_TEMP, thermalStates, int32_t(std::size(thermalStates)),
     " build_Alert(): idxThermal out of range. \n"},
    {CAT_SWITCH, statusStates, int32_t(std::size(statusStates)),
     " build_Alert(): idxStatus out of range. \n"},
};
constexpr size_t kTableCount = std::size(kSlotTables);

bool firstCall = true;

constexpr std::string_view kHeader = "This system has the health information:\n\n";
// "at " and ctime's 24 characters and line feed.
constexpr size_t kTimeLineLength = 3 + 25;
// What the lines of the changes may take of a message.
constexpr size_t kChangesRoom = kAlertMessageLimit - kHeader.size() - kTimeLineLength;

const SlotTable* table_of(int32_t category) {
    for (const SlotTable& table : kSlotTables)
        if (table.category == category) return &table;
    return nullptr;  // other categories raise no alerts
}

// The lines of the items whose state changed, in configuration order, up to
// the room a message has. A change that does not fit keeps its slot as it
// was, so the next refresh reports it; the changes after it wait too, so
// that the messages keep configuration order. false when an item has no
// slot left (its category's range message is printed).
bool collect_changes(const ItemDisplay* displays, int32_t itemCount, std::string& changes) {
    int32_t next[kTableCount] = {};
    bool full = false;
    for (int32_t i = 0; i < itemCount; ++i) {
        const ItemDisplay& d = displays[i];
        const SlotTable* table = table_of(d.category);
        if (table == nullptr) continue;
        int32_t slot = next[table - kSlotTables]++;
        if (slot >= table->size) {
            g_print("%s", table->overflow);
            return false;
        }
        int32_t& previous = table->states[slot];
        if (d.monitor != 1) {
            previous = kNormal;
            continue;
        }
        int32_t state = isNormalReading(&d) != 0 ? kNormal : kFailed;
        if (state == previous) continue;
        std::string line =
            std::string(d.name) + (state == kNormal ? " OK(Good)!\n" : " Failed(Bad)!\n");
        full = full || changes.size() + line.size() > kChangesRoom;
        if (full) continue;
        changes += line;
        previous = state;
    }
    return true;
}

void raise_alert(const std::string& message) {
    AlertMsgNode* node = new_alert_msg_node();
    node->message = strdup(message.c_str());
    if (node->message == nullptr) {  // out of memory: the message is lost, not the window
        free_alert_msg_node(node);
        return;
    }
    append_alert_msg_node(alert_msg_head, node);
    current_alert_msg_node = node;
    show_alert_message(mywindowAlertMessage, node);
    gtk_widget_show(mywindowAlertMessage);
}

}  // namespace

void build_Alert(GtkWidget* mainWindow, SystemRecord* system, ItemDisplay* displays,
                 int32_t itemCount) {
    refresh_alert_page(mainWindow, *system);
    if (firstCall) {
        // Everything counts as normal before the first check, so an item that
        // fails at start-up raises an alert at once.
        for (const SlotTable& table : kSlotTables)
            std::fill(table.states, table.states + table.size, kNormal);
        firstCall = false;
    }

    std::string changes;
    if (!collect_changes(displays, itemCount, changes) || changes.empty()) return;
    changes += time_line();
    raise_alert(std::string(kHeader) + changes);

    if (system->mailAlert == 0) return;
    switch (send_mail_script(kAlertSubject, system->mailbox, system->machineName, changes)) {
        case MailOutcome::sent:
            g_print("Send an alert through E-mail successfully.\n");
            break;
        case MailOutcome::refused:
            g_print("%s\n", kRecipientsRefused);
            break;
        case MailOutcome::not_written:
        case MailOutcome::not_run:
            break;  // said where it happened, if at all
    }
}

void reset_alert_check_state() {
    firstCall = true;
}
