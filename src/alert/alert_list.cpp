#include "alert/alert_list.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>

#include "sys/sys.h"

AlertMsgNode* alert_msg_head = nullptr;
AlertMsgNode* current_alert_msg_node = nullptr;

AlertMsgNode* new_alert_msg_node() {
    auto* node = static_cast<AlertMsgNode*>(std::calloc(1, sizeof(AlertMsgNode)));
    if (node == nullptr) {
        std::printf("Error: new_alert_msg_node()\n");
        sys().exit(-1);
    }
    return node;
}

void free_alert_msg_node(AlertMsgNode* node) {
    std::free(node);
}

// The walk is linear in the number of messages; a list grows by at most
// one message per refresh and the user acknowledges them.
void append_alert_msg_node(AlertMsgNode* head, AlertMsgNode* node) {
    AlertMsgNode* last = head;
    while (last->next != nullptr) last = last->next;
    node->next = nullptr;
    node->previous = last;
    last->next = node;
}

void del_alert_msg_node(AlertMsgNode* node) {
    if (node == nullptr) return;
    if (node->previous != nullptr) node->previous->next = node->next;
    if (node->next != nullptr) node->next->previous = node->previous;
    std::free(node->message);
    free_alert_msg_node(node);
}

AlertMsgNode* get_next_alert_msg_node(AlertMsgNode* node) {
    return node == nullptr ? nullptr : node->next;
}

AlertMsgNode* get_prev_alert_msg_node(AlertMsgNode* node) {
    return node == nullptr ? nullptr : node->previous;
}

int32_t get_alert_msg_node_index(AlertMsgNode* node) {
    if (node == nullptr) return -1;
    int32_t met = 0;
    for (; node != nullptr; node = node->previous) ++met;
    return met - 1;
}

int32_t get_alert_msg_node_count(AlertMsgNode* head) {
    if (head == nullptr) return -1;
    int32_t met = 0;
    for (; head != nullptr; head = head->next) ++met;
    return met - 1;
}

void list_alert_msg_node(AlertMsgNode* head) {
    g_print("list_node() - begin\n");
    for (AlertMsgNode* node = get_next_alert_msg_node(head); node != nullptr; node = node->next)
        g_print("%s\n", node->message);
    g_print("list_alert_msg_node() - end\n");
}

void reset_alert_list() {
    while (alert_msg_head != nullptr) {
        AlertMsgNode* next = alert_msg_head->next;
        std::free(alert_msg_head->message);
        free_alert_msg_node(alert_msg_head);
        alert_msg_head = next;
    }
    current_alert_msg_node = nullptr;
}
