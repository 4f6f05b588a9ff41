// The IMB driver's device: one ioctl, 0x1082, whose argument is an 80-byte
// control block of 64-bit little-endian words pointing at the request buffer,
// the response buffer and the word that receives the response length. The
// driver hands the request to the BMC and waits for its answer, up to the
// time-out the request carries.
#include <errno.h>

#include <cstring>

#include "vboard/bmc.h"
#include "vboard/bmc_interfaces.h"
#include "vboard/virtual_board.h"

namespace {

constexpr unsigned long kImbSendRequest = 0x1082;

// Control block: byte offsets of its 64-bit words (0, 8 and 16 are not read).
constexpr size_t kStatusBlockAt = 24;  // 16-byte status block: status, information
constexpr size_t kRequestAt = 32;
constexpr size_t kRequestLengthAt = 40;
constexpr size_t kResponseAt = 48;
constexpr size_t kResponseCapacityAt = 56;
constexpr size_t kReturnedCountAt = 64;  // address of a word: in capacity, out count
constexpr size_t kOverlappedAt = 72;     // asynchronous completion: not supported, must be 0

// Request buffer.
constexpr size_t kTimeoutAt = 8;  // microseconds (the flags word at 0 changes nothing here)
constexpr size_t kResponderAt = 16;
constexpr size_t kCommandAt = 17;
constexpr size_t kNetFnAt = 18;
constexpr size_t kLunAt = 19;
constexpr size_t kDataLengthAt = 20;
constexpr size_t kDataAt = 21;

constexpr uint8_t kBmcAddress = 0x20;  // the BMC's slave address on the IPMB
constexpr uint8_t kMaxNetFn = 0x3F;    // six bits on the wire
constexpr uint8_t kMaxLun = 3;

uint64_t le64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= uint64_t(at[i]) << (8 * i);
    return value;
}

void put_le64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = uint8_t(value >> (8 * i));
}

// The caller's memory, as the driver reaches it through an address.
uint8_t* user_memory(uint64_t address) {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(address));
}

int fail(int error) {
    errno = error;
    return -1;
}

class ImbDevice final : public OpenDevice {
public:
    ImbDevice(std::shared_ptr<Bmc> bmc, VirtualBoard& board)
        : bmc_(std::move(bmc)), board_(board) {}

    int ioctl(unsigned long request, void* arg) override {
        if (request != kImbSendRequest) return fail(ENOTTY);
        if (!arg) return fail(EFAULT);
        const uint8_t* block = static_cast<const uint8_t*>(arg);
        if (le64(block + kOverlappedAt) != 0) return fail(EINVAL);

        uint8_t* status = user_memory(le64(block + kStatusBlockAt));
        const uint8_t* request_buffer = user_memory(le64(block + kRequestAt));
        uint64_t request_length = le64(block + kRequestLengthAt);
        uint8_t* response = user_memory(le64(block + kResponseAt));
        uint64_t capacity = le64(block + kResponseCapacityAt);
        uint8_t* returned_count = user_memory(le64(block + kReturnedCountAt));
        if (!status || !request_buffer || !response || !returned_count) return fail(EFAULT);
        if (request_length < kDataAt || request_length < kDataAt + request_buffer[kDataLengthAt])
            return fail(EINVAL);
        uint8_t netfn = request_buffer[kNetFnAt];
        uint8_t command = request_buffer[kCommandAt];
        if (netfn > kMaxNetFn || request_buffer[kLunAt] > kMaxLun) return fail(EINVAL);
        std::vector<uint8_t> data(request_buffer + kDataAt,
                                  request_buffer + kDataAt + request_buffer[kDataLengthAt]);
        int64_t timeout_ns = int64_t(le64(request_buffer + kTimeoutAt)) * 1000;

        std::optional<IpmiResponse> answer;
        uint8_t responder = request_buffer[kResponderAt];
        if (responder == kBmcAddress) {
            answer = bmc_->request("imb", netfn, command, data);
        } else {
            // Nobody else is on the IPMB: the request goes unanswered.
            board_.trace().linef(
                "ipmi imb rs 0x%02x %s -> timeout", responder,
                ipmi_request_key(netfn, command, data.data(), data.size()).c_str());
        }
        if (!answer) {
            board_.spend_ns(timeout_ns);
            return fail(ETIMEDOUT);
        }
        board_.spend_ns(bmc_->latency_ns());
        if (answer->size() > capacity) return fail(EMSGSIZE);
        std::memcpy(response, answer->data(), answer->size());
        put_le64(returned_count, answer->size());
        put_le64(status, 0);                   // status: success
        put_le64(status + 8, answer->size());  // information: bytes returned
        return 0;
    }

private:
    std::shared_ptr<Bmc> bmc_;
    VirtualBoard& board_;
};

}  // namespace

std::unique_ptr<OpenDevice> open_imb_device(std::shared_ptr<Bmc> bmc, VirtualBoard& board) {
    return std::make_unique<ImbDevice>(std::move(bmc), board);
}
