// The alert list: order, index and count after appends and deletes, as the
// alert window reads them; the trace listing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "alert/alert_list.h"
#include "support/sandbox.h"

namespace {

class AlertList : public testing::Test {
protected:
    void SetUp() override { alert_msg_head = current_alert_msg_node = new_alert_msg_node(); }
    void TearDown() override { reset_alert_list(); }

    AlertMsgNode* append(const char* message) {
        AlertMsgNode* node = new_alert_msg_node();
        node->message = strdup(message);
        append_alert_msg_node(alert_msg_head, node);
        return node;
    }
    // The messages from the head forwards, checked against the way back.
    std::vector<std::string> messages() {
        std::vector<std::string> forwards;
        AlertMsgNode* last = alert_msg_head;
        for (AlertMsgNode* n = alert_msg_head->next; n != nullptr; n = n->next) {
            EXPECT_EQ(n->previous, last) << n->message;
            forwards.emplace_back(n->message);
            last = n;
        }
        return forwards;
    }
};

TEST_F(AlertList, NoNodeAndTheEmptyList) {
    EXPECT_EQ(get_alert_msg_node_index(nullptr), -1);
    EXPECT_EQ(get_alert_msg_node_count(nullptr), -1);
    EXPECT_EQ(get_next_alert_msg_node(nullptr), nullptr);
    EXPECT_EQ(get_prev_alert_msg_node(nullptr), nullptr);
    del_alert_msg_node(nullptr);

    AlertMsgNode* head = alert_msg_head;
    EXPECT_EQ(head->previous, nullptr);
    EXPECT_EQ(head->next, nullptr);
    EXPECT_EQ(head->message, nullptr);
    EXPECT_EQ(get_alert_msg_node_index(head), 0);
    EXPECT_EQ(get_alert_msg_node_count(head), 0);
}

TEST_F(AlertList, AppendAndDelete) {
    using Messages = std::vector<std::string>;
    struct Case {
        const char* what;
        std::vector<int> deleted;  // by position among "one", "two", "three"
        Messages left;
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
        AlertMsgNode* nodes[] = {append("one"), append("two"), append("three")};
        for (int i = 0; i < 3; ++i) EXPECT_EQ(get_alert_msg_node_index(nodes[i]), i + 1) << c.what;
        for (int i : c.deleted) del_alert_msg_node(nodes[i]);
        EXPECT_EQ(messages(), c.left) << c.what;
        EXPECT_EQ(get_alert_msg_node_count(alert_msg_head), int32_t(c.left.size())) << c.what;
        // What is left keeps its order and its indexes follow it.
        int32_t index = 1;
        for (AlertMsgNode* n = alert_msg_head->next; n != nullptr; n = n->next)
            EXPECT_EQ(get_alert_msg_node_index(n), index++) << c.what;
        // An append after deletes goes last.
        AlertMsgNode* late = append("late");
        EXPECT_EQ(late->next, nullptr) << c.what;
        EXPECT_EQ(get_alert_msg_node_index(late), int32_t(c.left.size()) + 1) << c.what;
        while (alert_msg_head->next != nullptr) del_alert_msg_node(alert_msg_head->next);
    }
}

TEST_F(AlertList, ListingThroughThePrintHandler) {
    append("CPU1 Fan Failed(Bad)!");
    append("CPU1 Fan OK(Good)!");
    OutputCapture capture;
    list_alert_msg_node(alert_msg_head);
    EXPECT_EQ(capture.out(),
              "list_node() - begin\nCPU1 Fan Failed(Bad)!\nCPU1 Fan OK(Good)!\n"
              "list_alert_msg_node() - end\n");
}

}  // namespace
