// The alert list: order, index and count after appends and deletes, as the
// alert window reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "alert/alert_list.h"

namespace {

TEST(AlertList, AppendAndDelete) {
    alert_msg_head = current_alert_msg_node = new_alert_msg_node();
    EXPECT_EQ(get_alert_msg_node_count(alert_msg_head), 0);
    EXPECT_EQ(get_alert_msg_node_count(nullptr), -1);
    auto append = [](const char* message) {
        AlertMsgNode* node = new_alert_msg_node();
        node->message = strdup(message);
        append_alert_msg_node(alert_msg_head, node);
        return node;
    };
    struct Case {
        const char* what;
        std::vector<int> deleted;  // by position among "one", "two", "three"
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"nothing deleted", {}, {"one", "two", "three"}},
        {"the first", {0}, {"two", "three"}},
        {"a middle one", {1}, {"one", "three"}},
        {"the last", {2}, {"one", "two"}},
        {"all, last first", {2, 1, 0}, {}},
        {"all, first first", {0, 1, 2}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlertMsgNode* nodes[] = {append("one"), append("two"), append("three")};
        for (int i = 0; i < 3; ++i) EXPECT_EQ(get_alert_msg_node_index(nodes[i]), i + 1);
        for (int i : c.deleted) del_alert_msg_node(nodes[i]);
        EXPECT_EQ(get_alert_msg_node_count(alert_msg_head), int32_t(c.left.size()));
        // What is left keeps its order, both ways, and its indexes follow it.
        std::vector<std::string> left;
        AlertMsgNode* last = alert_msg_head;
        for (AlertMsgNode* n = alert_msg_head->next; n != nullptr; last = n, n = n->next) {
            EXPECT_EQ(n->previous, last);
            EXPECT_EQ(get_alert_msg_node_index(n), int32_t(left.size()) + 1);
            left.emplace_back(n->message);
        }
        EXPECT_EQ(left, c.left);
        // An append after deletes goes last.
        AlertMsgNode* late = append("late");
        EXPECT_EQ(late->next, nullptr);
        EXPECT_EQ(get_alert_msg_node_index(late), int32_t(c.left.size()) + 1);
        while (alert_msg_head->next != nullptr) del_alert_msg_node(alert_msg_head->next);
    }
    reset_alert_list();
}

}  // namespace
