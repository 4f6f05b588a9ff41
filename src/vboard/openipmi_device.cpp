// The Linux OpenIPMI device (ipmi_devintf): requests go in with
// IPMICTL_SEND_COMMAND, which returns at once; the answer is queued on the
// descriptor, which select() then reports readable, and is taken with
// IPMICTL_RECEIVE_MSG. The checks and error numbers are the kernel's.
#include <errno.h>
#include <linux/ipmi.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vboard/bmc.h"
#include "vboard/bmc_interfaces.h"
#include "vboard/virtual_board.h"

namespace {

constexpr size_t kMaxMessageLength = 272;  // IPMI_MAX_MSG_LENGTH of current kernels
// Header bytes the message handler adds around the data: netfn/LUN and
// command to the BMC; for IPMB the Send Message wrapping and its checksums.
constexpr size_t kSystemInterfaceOverhead = 2;
constexpr size_t kIpmbOverhead = 10;
// The channel the BMC bridges to its IPMB; the board has no other.
constexpr short kIpmbChannel = 0;
// Nothing answers on the IPMB: the message handler gives up after its default
// 1 s per try and 4 retries and delivers a time-out completion code.
constexpr int64_t kIpmbGiveUpNs = 5'000'000'000;
// App commands the message handler keeps for itself (Get Message, Send
// Message, Read Event Message Buffer): a user may not send them directly.
constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kReservedAppCommands[] = {0x33, 0x34, 0x35};
constexpr unsigned char kMaxLun = 3;

int fail(int error) {
    errno = error;
    return -1;
}

bool kept_by_message_handler(uint8_t netfn, uint8_t command) {
    if (netfn != kAppNetFn) return false;
    for (uint8_t reserved : kReservedAppCommands)
        if (command == reserved) return true;
    return false;
}

bool is_ipmb(const ipmi_addr& address) {
    return address.addr_type == IPMI_IPMB_ADDR_TYPE ||
           address.addr_type == IPMI_IPMB_BROADCAST_ADDR_TYPE;
}

// ipmi_validate_addr, then the per-type checks of the request path.
int check_address(const ipmi_addr& address, unsigned length) {
    if (length < sizeof(ipmi_system_interface_addr)) return EINVAL;
    if (address.addr_type == IPMI_SYSTEM_INTERFACE_ADDR_TYPE) {
        if (address.channel != IPMI_BMC_CHANNEL) return EINVAL;
        const auto& si = reinterpret_cast<const ipmi_system_interface_addr&>(address);
        return si.lun > kMaxLun ? EINVAL : 0;
    }
    if (address.channel == IPMI_BMC_CHANNEL || address.channel < 0 ||
        address.channel >= IPMI_NUM_CHANNELS)
        return EINVAL;
    if (!is_ipmb(address)) return EINVAL;  // LAN or unknown: no such channel here
    if (length < sizeof(ipmi_ipmb_addr)) return EINVAL;
    if (address.channel != kIpmbChannel) return EINVAL;  // not an IPMB channel
    const auto& ipmb = reinterpret_cast<const ipmi_ipmb_addr&>(address);
    return ipmb.lun > kMaxLun ? EINVAL : 0;
}

class OpenIpmiDevice final : public OpenDevice {
public:
    OpenIpmiDevice(std::shared_ptr<Bmc> bmc, VirtualBoard& board, std::string path)
        : bmc_(std::move(bmc)), board_(board), path_(std::move(path)) {}

    int ioctl(unsigned long request, void* arg) override {
        switch (request) {
            case IPMICTL_SEND_COMMAND:
                return send(static_cast<const ipmi_req*>(arg));
            case IPMICTL_RECEIVE_MSG:
                return receive(static_cast<ipmi_recv*>(arg), false);
            case IPMICTL_RECEIVE_MSG_TRUNC:
                return receive(static_cast<ipmi_recv*>(arg), true);
            default:
                return fail(ENOTTY);
        }
    }

    // Readable once an answer is queued and its time has come; waiting for a
    // later answer spends the time on the board clock.
    int wait_readable(int timeout_ms) override {
        int64_t now = board_.clock().elapsed_ns();
        if (!queue_.empty()) {
            int64_t wait = std::max<int64_t>(queue_.front().ready_ns - now, 0);
            if (timeout_ms < 0 || wait <= int64_t(timeout_ms) * 1000000) {
                board_.spend_ns(wait);
                return 1;
            }
        }
        if (timeout_ms < 0) {
            std::fprintf(stderr,
                         "sensorvisor-sim: select() on %s without a time limit, and no answer is "
                         "on its way (the BMC does not respond): a real process hangs here "
                         "forever\n",
                         path_.c_str());
            std::fflush(stderr);
            std::abort();
        }
        board_.spend_ns(int64_t(timeout_ms) * 1000000);
        errno = ETIMEDOUT;
        return 0;
    }

private:
    struct Answer {
        int64_t ready_ns;   // on the board clock
        ipmi_addr address;  // the request's address (the system interface or IPMB)
        long msgid;
        uint8_t netfn;  // the response NetFn: request NetFn + 1
        uint8_t command;
        std::vector<uint8_t> data;  // completion code, then data
    };

    int send(const ipmi_req* user) {
        if (!user) return fail(EFAULT);
        ipmi_req request;
        std::memcpy(&request, user, sizeof request);
        if (request.addr_len > sizeof(ipmi_addr)) return fail(EINVAL);
        ipmi_addr address{};
        if (request.addr_len > 0) {
            if (!request.addr) return fail(EFAULT);
            std::memcpy(&address, request.addr, request.addr_len);
        }
        if (int error = check_address(address, request.addr_len)) return fail(error);
        std::vector<uint8_t> data;
        if (request.msg.data) {
            if (request.msg.data_len > kMaxMessageLength) return fail(EMSGSIZE);
            data.assign(request.msg.data, request.msg.data + request.msg.data_len);
        }
        uint8_t netfn = request.msg.netfn;
        uint8_t command = request.msg.cmd;
        int64_t now = board_.clock().elapsed_ns();

        if (is_ipmb(address)) {
            if (data.size() + kIpmbOverhead > kMaxMessageLength) return fail(EMSGSIZE);
            const auto& ipmb = reinterpret_cast<const ipmi_ipmb_addr&>(address);
            board_.trace().linef(
                "ipmi openipmi ipmb %d 0x%02x %s -> c3", address.channel, ipmb.slave_addr,
                ipmi_request_key(netfn, command, data.data(), data.size()).c_str());
            enqueue({now + kIpmbGiveUpNs,
                     address,
                     request.msgid,
                     uint8_t(netfn | 1),
                     command,
                     {ipmi_cc::kTimeout}});
            return 0;
        }
        if (kept_by_message_handler(netfn, command)) return fail(EINVAL);
        if (data.size() + kSystemInterfaceOverhead > kMaxMessageLength) return fail(EMSGSIZE);
        std::optional<IpmiResponse> answer = bmc_->request("openipmi", netfn, command, data);
        if (answer)
            enqueue({now + bmc_->latency_ns(), address, request.msgid, uint8_t(netfn | 1), command,
                     std::move(*answer)});
        return 0;
    }

    // Answers leave in the order their time comes; equal times keep the order
    // the requests went in.
    void enqueue(Answer answer) {
        auto later = std::upper_bound(
            queue_.begin(), queue_.end(), answer.ready_ns,
            [](int64_t ready, const Answer& queued) { return ready < queued.ready_ns; });
        queue_.insert(later, std::move(answer));
    }

    // A failed receive leaves the answer queued, except that the truncating
    // variant delivers what fits, drops the rest and reports EMSGSIZE.
    int receive(ipmi_recv* user, bool truncate) {
        if (!user) return fail(EFAULT);
        if (queue_.empty() || queue_.front().ready_ns > board_.clock().elapsed_ns())
            return fail(EAGAIN);
        ipmi_recv out;
        std::memcpy(&out, user, sizeof out);
        const Answer& answer = queue_.front();
        unsigned address_length =
            is_ipmb(answer.address) ? sizeof(ipmi_ipmb_addr) : sizeof(ipmi_system_interface_addr);
        if (out.addr_len < address_length) return fail(EINVAL);
        if (!out.addr) return fail(EFAULT);
        size_t length = answer.data.size();
        bool truncated = length > out.msg.data_len;
        if (truncated) {
            if (!truncate) return fail(EMSGSIZE);
            length = out.msg.data_len;
        }
        if (length > 0 && !out.msg.data) return fail(EFAULT);

        std::memcpy(out.addr, &answer.address, address_length);
        if (length > 0) std::memcpy(out.msg.data, answer.data.data(), length);
        out.addr_len = address_length;
        out.recv_type = IPMI_RESPONSE_RECV_TYPE;
        out.msgid = answer.msgid;
        out.msg.netfn = answer.netfn;
        out.msg.cmd = answer.command;
        out.msg.data_len = static_cast<unsigned short>(length);
        std::memcpy(user, &out, sizeof out);
        queue_.erase(queue_.begin());
        return truncated ? fail(EMSGSIZE) : 0;
    }

    std::shared_ptr<Bmc> bmc_;
    VirtualBoard& board_;
    std::string path_;
    std::vector<Answer> queue_;  // by ready time
};

}  // namespace

std::unique_ptr<OpenDevice> open_openipmi_device(std::shared_ptr<Bmc> bmc, VirtualBoard& board,
                                                 std::string path) {
    return std::make_unique<OpenIpmiDevice>(std::move(bmc), board, std::move(path));
}
