// The alert messages the window has raised and not yet acknowledged: a doubly
// linked list behind a sentinel head, oldest message first. The index of a
// node is its distance from the head (the head is 0, the first message 1);
// the count is the number of messages. Plain data: no GTK here, so that
// nothing but the window needs to link it with a toolkit.
#pragma once

#include <cstdint>

struct AlertMsgNode {
    AlertMsgNode* previous;  // none for the head
    AlertMsgNode* next;      // none for the last node
    char* message;           // owned (malloc'd by the caller); none in the head
};

// The head, made when the window is filled, and the node the alert window
// shows (the head when there is no message).
extern AlertMsgNode* alert_msg_head;
extern AlertMsgNode* current_alert_msg_node;

// A new zeroed node. Out of memory: "Error: new_alert_msg_node()" on
// standard output and the process ends with status -1.
AlertMsgNode* new_alert_msg_node();
// Releases the node record only, not its message.
void free_alert_msg_node(AlertMsgNode* node);
// Links `node` after the last node of the list that `head` begins.
void append_alert_msg_node(AlertMsgNode* head, AlertMsgNode* node);
// Unlinks the node and releases it with its message; nothing for none. The
// caller moves current_alert_msg_node away from it first.
void del_alert_msg_node(AlertMsgNode* node);
// The neighbours; none for none.
AlertMsgNode* get_next_alert_msg_node(AlertMsgNode* node);
AlertMsgNode* get_prev_alert_msg_node(AlertMsgNode* node);
// The node's distance from the head; -1 for none.
int32_t get_alert_msg_node_index(AlertMsgNode* node);
// The number of messages after the head; -1 for no head.
int32_t get_alert_msg_node_count(AlertMsgNode* head);
// Every message, between a begin and an end line, through g_print (a
// debugging aid).
void list_alert_msg_node(AlertMsgNode* head);

// Releases the whole list, head included, and forgets both globals (tests,
// between windows in one process).
void reset_alert_list();
