// Requests to the virtual BMC made the way the monitor makes them: the IMB
// driver's ioctl 0x1082 with its control block laid out byte for byte, and
// the OpenIPMI device with the kernel's own structures.
#pragma once

#include <errno.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/sandbox.h"

using Bytes = std::vector<uint8_t>;

// "eb 36": bytes written as hex.
inline Bytes hex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    unsigned value;
    while (in >> std::hex >> value) bytes.push_back(uint8_t(value));
    return bytes;
}

// A little-endian 64-bit word of the control block (x86 byte order).
inline void put64(uint8_t* at, uint64_t value) { std::memcpy(at, &value, 8); }

struct ImbCall {
    uint8_t netfn = 0x06;
    uint8_t command = 0x01;
    Bytes data{};
    uint64_t timeout_us = 1000000;
    uint8_t responder = 0x20;
    uint64_t request_length = 64;
    uint64_t capacity = 64;
    uint64_t overlapped = 0;
};

struct ImbResult {
    int result;
    int error;
    Bytes response;  // the `count` bytes the driver reported
    uint64_t count;
    std::array<uint64_t, 2> status;
    std::array<uint8_t, 64> raw;  // the whole response buffer, 0xEE before the call
};

// Request: flags, timeout, responder, command, NetFn, LUN, length, data.
// Control block: status at 24, request and its length at 32/40, response
// and its capacity at 48/56, the count word at 64, overlapped at 72.
inline ImbResult imb(int fd, const ImbCall& call) {
    std::array<uint8_t, 64> request{};
    put64(&request[8], call.timeout_us);
    request[16] = call.responder;
    request[17] = call.command;
    request[18] = call.netfn;
    request[20] = uint8_t(call.data.size());
    std::copy(call.data.begin(), call.data.end(), request.begin() + 21);
    ImbResult out{};
    out.raw.fill(0xEE);
    out.status.fill(~0ull);
    out.count = call.capacity;
    std::array<uint8_t, 80> block{};
    put64(&block[24], reinterpret_cast<uintptr_t>(out.status.data()));
    put64(&block[32], reinterpret_cast<uintptr_t>(request.data()));
    put64(&block[40], call.request_length);
    put64(&block[48], reinterpret_cast<uintptr_t>(out.raw.data()));
    put64(&block[56], call.capacity);
    put64(&block[64], reinterpret_cast<uintptr_t>(&out.count));
    put64(&block[72], call.overlapped);
    errno = 0;
    out.result = sys().ioctl(fd, 0x1082, block.data());
    out.error = errno;
    if (out.result == 0) out.response.assign(out.raw.begin(), out.raw.begin() + out.count);
    return out;
}

struct SendCall {
    long msgid = 2;
    uint8_t netfn = 0x06;
    uint8_t command = 0x01;
    Bytes data{};
    int addr_type = IPMI_SYSTEM_INTERFACE_ADDR_TYPE;
    short channel = IPMI_BMC_CHANNEL;
    unsigned char slave = 0;
    unsigned char lun = 0;
    unsigned addr_len = 40;
    unsigned short data_len_override = 0;  // claim more data than given
};

inline int send(int fd, const SendCall& call) {
    ipmi_addr address{};  // the 40-byte block the program fills
    address.addr_type = call.addr_type;
    address.channel = call.channel;
    if (call.addr_type == IPMI_SYSTEM_INTERFACE_ADDR_TYPE) {
        reinterpret_cast<ipmi_system_interface_addr&>(address).lun = call.lun;
    } else {
        reinterpret_cast<ipmi_ipmb_addr&>(address).slave_addr = call.slave;
        reinterpret_cast<ipmi_ipmb_addr&>(address).lun = call.lun;
    }
    std::array<uint8_t, 300> data{};
    std::copy(call.data.begin(), call.data.end(), data.begin());
    ipmi_req request{};
    request.addr = reinterpret_cast<unsigned char*>(&address);
    request.addr_len = call.addr_len;
    request.msgid = call.msgid;
    request.msg.netfn = call.netfn;
    request.msg.cmd = call.command;
    request.msg.data_len = call.data_len_override ? call.data_len_override : call.data.size();
    request.msg.data = data.data();
    return sys().ioctl(fd, IPMICTL_SEND_COMMAND, &request);
}

struct Received {
    int result;
    int error;
    ipmi_recv recv;  // its pointers are cleared: they pointed into receive()
    ipmi_ipmb_addr address;
    Bytes data{};
};

inline Received receive(int fd, unsigned short capacity = 80,
                        unsigned long request = IPMICTL_RECEIVE_MSG) {
    Received out{};
    std::array<uint8_t, 40> address{};
    std::array<uint8_t, 80> data{};
    out.recv.addr = address.data();
    out.recv.addr_len = 40;
    out.recv.msgid = -1;
    out.recv.msg.data_len = capacity;
    out.recv.msg.data = data.data();
    errno = 0;
    out.result = sys().ioctl(fd, request, &out.recv);
    out.error = errno;
    std::memcpy(&out.address, address.data(), sizeof out.address);
    out.data.assign(data.begin(), data.begin() + std::min<size_t>(out.recv.msg.data_len, 80));
    out.recv.addr = nullptr;
    out.recv.msg.data = nullptr;
    return out;
}

inline const char* device_of(const std::string& interface) {
    return interface == "imb" ? "/dev/kvbmc" : "/dev/ipmi0";
}

// One request and its answer (completion code, then data) on `interface`;
// empty if the driver refused it.
inline Bytes transact(const std::string& interface, int fd, uint8_t netfn, uint8_t command,
                      const Bytes& data) {
    if (interface == "imb") return imb(fd, {netfn, command, data}).response;
    if (send(fd, {7, netfn, command, data}) != 0 || sys().wait_readable(fd, -1) != 1) return {};
    return receive(fd).data;
}
