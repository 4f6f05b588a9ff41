#include "hw/ipmi_openipmi.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

#include <cstdio>
#include <cstring>

#include "hw/ipmi_imb.h"
#include "sys/handles.h"
#include "sys/sys.h"

int32_t fd = -1;
uint8_t req_data[87];
uint8_t recv_data[80];
uint16_t recv_data_len = 0;

namespace {

// The device node's names across kernels and udev rules, tried in turn.
constexpr const char* kDeviceNames[] = {"/dev/ipmidev/%d", "/dev/ipmi/%d", "/dev/ipmi%d"};
constexpr int kDeviceNumber = 0;

constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kGetDeviceId = 0x01;

// The request codes as the kernel defines them on x86-64.
static_assert(IPMICTL_SEND_COMMAND == 0x8028690D);
static_assert(IPMICTL_RECEIVE_MSG == 0xC030690C);
// The address block the system fills: the kernel's generic address, 40 bytes.
static_assert(sizeof(ipmi_addr) == 40);

// The kernel address for `addr_type`; false (with the message) for a type the
// monitor does not use.
bool build_address(ipmi_addr* address, int32_t addr_type, int16_t channel, uint8_t slave,
                   uint8_t lun) {
    std::memset(address, 0, sizeof *address);
    if (addr_type == kIpmiSystemInterfaceAddrType) {
        auto* si = reinterpret_cast<ipmi_system_interface_addr*>(address);
        si->addr_type = addr_type;
        si->channel = channel;
        si->lun = lun;
        return true;
    }
    if (addr_type == kIpmiIpmbAddrType || addr_type == kIpmiIpmbBroadcastAddrType) {
        auto* ipmb = reinterpret_cast<ipmi_ipmb_addr*>(address);
        ipmb->addr_type = addr_type;
        ipmb->channel = channel;
        ipmb->slave_addr = slave;
        ipmb->lun = lun;
        return true;
    }
    std::fprintf(stderr, "Error: wrong address type.\n");
    return false;
}

int32_t report_ioctl_failure() {
    int error = errno;
    std::fprintf(stderr, "Error: ioctl(), errno=%d\n", error);
    return error;
}

}  // namespace

int32_t ipmi_cmd_req2(int32_t dev, int32_t addr_type, int16_t channel, uint8_t slave, uint8_t lun,
                      long msgid, uint8_t netfn, uint8_t cmd, uint16_t data_len, uint8_t* data) {
    ipmi_addr address;
    if (!build_address(&address, addr_type, channel, slave, lun)) return -1;
    ipmi_req request{};
    request.addr = reinterpret_cast<unsigned char*>(&address);
    request.addr_len = sizeof address;
    request.msgid = msgid;
    request.msg.netfn = netfn;
    request.msg.cmd = cmd;
    request.msg.data_len = data_len;
    request.msg.data = data;
    int result = sys().ioctl(dev, IPMICTL_SEND_COMMAND, &request);
    int error = errno;
    dump_ipmi_req2(&request);
    errno = error;
    if (result == -1) return report_ioctl_failure();
    return result;
}

// The wait is bounded (kIpmiResponseTimeoutMs): a BMC that accepted a request
// and never answers must not freeze the monitor.
int32_t ipmi_cmd_recv2(int32_t dev, int32_t addr_type, int16_t channel, uint8_t slave, uint8_t lun,
                       long msgid, uint8_t netfn, uint8_t cmd, uint16_t data_len, uint8_t* data) {
    ipmi_addr address;
    if (!build_address(&address, addr_type, channel, slave, lun)) return -1;
    ipmi_recv response{};
    response.addr = reinterpret_cast<unsigned char*>(&address);
    response.addr_len = sizeof address;
    response.msgid = msgid;
    response.msg.netfn = netfn;
    response.msg.cmd = cmd;
    response.msg.data_len = data_len;
    response.msg.data = data;

    errno = 0;
    int ready = sys().wait_readable(dev, kIpmiResponseTimeoutMs);
    if (ready <= 0) {
        int error = errno != 0 ? errno : ETIMEDOUT;
        std::fprintf(stderr, "Error: select(), errno=%d\n", error);
        return error;
    }
    int result = sys().ioctl(dev, IPMICTL_RECEIVE_MSG, &response);
    if (result == -1) return report_ioctl_failure();
    recv_data_len = response.msg.data_len;
    dump_ipmi_recv2(&response);
    return result;
}

int32_t dump_ipmi_req2(const ipmi_req* /*request*/) {
    return -1;
}
int32_t dump_ipmi_recv2(const ipmi_recv* /*response*/) {
    return -1;
}

int32_t open_imb2() {
    Fd device;
    for (const char* pattern : kDeviceNames) {
        char path[32];
        std::snprintf(path, sizeof path, pattern, kDeviceNumber);
        device = Fd(sys().open(path, O_RDWR));
        if (device.valid()) break;
    }
    if (!device.valid()) return 0;

    // A BMC that answers at all is present, whatever its completion code.
    uint8_t response[sizeof recv_data];
    if (ipmi_cmd_req2(device.get(), kIpmiSystemInterfaceAddrType, kIpmiBmcChannel, 0, 0, 0,
                      kAppNetFn, kGetDeviceId, 0, req_data) != 0 ||
        ipmi_cmd_recv2(device.get(), kIpmiSystemInterfaceAddrType, kIpmiBmcChannel, 0, 0, 0,
                       kAppNetFn, kGetDeviceId, sizeof response, response) != 0)
        return 0;
    fd = device.release();
    return 1;
}

int32_t ipmi_bmc_command(uint8_t netfn, uint8_t cmd, uint16_t data_len) {
    long msgid = seqNo;
    recv_data_len = 0;
    int32_t result = ipmi_cmd_req2(fd, kIpmiSystemInterfaceAddrType, kIpmiBmcChannel, 0, 0, msgid,
                                   netfn, cmd, data_len, req_data);
    if (result == 0)
        result = ipmi_cmd_recv2(fd, kIpmiSystemInterfaceAddrType, kIpmiBmcChannel, 0, 0, msgid,
                                netfn, cmd, sizeof recv_data, recv_data);
    advance_message_id();
    if (result != 0 || recv_data_len == 0 || recv_data[0] != 0) return 255;
    return 0;
}

void reset_ipmi_openipmi_state() {
    fd = -1;
    std::memset(req_data, 0, sizeof req_data);
    std::memset(recv_data, 0, sizeof recv_data);
    recv_data_len = 0;
}
