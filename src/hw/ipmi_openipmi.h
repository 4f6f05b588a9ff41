// The BMC through the Linux OpenIPMI character device: open and verify it,
// send one request to the BMC's system interface and wait for its response.
#pragma once

#include <cstdint>

struct ipmi_req;
struct ipmi_recv;

// Descriptor of the open OpenIPMI device (-1 while none is open).
extern int32_t fd;
// Request data of the command being sent.
extern uint8_t req_data[87];
// Response of the last command: byte 0 the completion code, then the data.
extern uint8_t recv_data[80];

// Bytes in the last message received (completion code included).
extern uint16_t recv_data_len;

// Kernel address types (<linux/ipmi.h>).
inline constexpr int32_t kIpmiSystemInterfaceAddrType = 0x0C;
inline constexpr int32_t kIpmiIpmbAddrType = 0x01;
inline constexpr int32_t kIpmiIpmbBroadcastAddrType = 0x41;
// Channel 15 is the BMC itself.
inline constexpr int16_t kIpmiBmcChannel = 0x0F;
// The longest a command waits for its response.
inline constexpr int kIpmiResponseTimeoutMs = 5000;

// Opens /dev/ipmidev/0, /dev/ipmi/0 or /dev/ipmi0 (the first that opens) and
// checks that a BMC answers Get Device ID. 1 open, 0 not.
int32_t open_imb2();

// Sends one request on `dev`. 0 sent, -1 bad address type, or the errno of a
// failed ioctl.
int32_t ipmi_cmd_req2(int32_t dev, int32_t addr_type, int16_t channel, uint8_t slave, uint8_t lun,
                      long msgid, uint8_t netfn, uint8_t cmd, uint16_t data_len, uint8_t* data);

// Waits (at most kIpmiResponseTimeoutMs) for the next message on `dev` and
// receives it into `data`, whose capacity is `data_len`. 0 received, -1 bad
// address type, or an errno (ETIMEDOUT when the BMC stayed silent).
int32_t ipmi_cmd_recv2(int32_t dev, int32_t addr_type, int16_t channel, uint8_t slave, uint8_t lun,
                       long msgid, uint8_t netfn, uint8_t cmd, uint16_t data_len, uint8_t* data);

// One command to the BMC's system interface (channel 15, LUN 0) with message
// ID seqNo: the first `data_len` bytes of req_data go out, the response lands
// in recv_data, and seqNo is advanced. 0 when the BMC answered with
// completion code 0, else 255.
int32_t ipmi_bmc_command(uint8_t netfn, uint8_t cmd, uint16_t data_len);

// Trace hooks called after each send and receive; they do nothing (-1).
int32_t dump_ipmi_req2(const ipmi_req* request);
int32_t dump_ipmi_recv2(const ipmi_recv* response);

// No device open, buffers cleared (tests). Does not close the descriptor.
void reset_ipmi_openipmi_state();
