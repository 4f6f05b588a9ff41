#include "hw/ipmi_imb.h"

#include <fcntl.h>

#include <cstring>

#include "hw/bmc_commands.h"
#include "hw/ipmi_openipmi.h"
#include "sys/handles.h"
#include "sys/sys.h"

int32_t hDevice = 0;
int32_t ipmi_driver_option = 0;
uint16_t seqNo = 0;

namespace {

constexpr const char* kImbDevice = "/dev/kvbmc";
// The driver's one request: send an IPMI message and wait for its answer.
constexpr uint32_t kImbSendMessage = 0x1082;

constexpr uint8_t kBmcSlaveAddress = 0x20;
constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kGetDeviceId = 0x01;
constexpr uint8_t kMasterWriteRead = 0x52;
// Bus ID byte of Master Write-Read: private bus 2 of channel 0.
constexpr uint8_t kPrivateBus2 = 0x05;
constexpr int32_t kDeviceIdTimeoutMs = 400;

// Control block: 64-bit little-endian words at these offsets.
constexpr size_t kControlBlockSize = 80;
constexpr size_t kStatusBlockAt = 24;
constexpr size_t kRequestAt = 32;
constexpr size_t kRequestLengthAt = 40;
constexpr size_t kResponseAt = 48;
constexpr size_t kResponseCapacityAt = 56;
constexpr size_t kReturnedCountAt = 64;
constexpr size_t kOverlappedAt = 72;

// Request buffer layout.
constexpr size_t kFlagsAt = 0;
constexpr size_t kTimeoutAt = 8;
constexpr size_t kResponderAt = 16;
constexpr size_t kCommandAt = 17;
constexpr size_t kNetFnAt = 18;
constexpr size_t kLunAt = 19;
constexpr size_t kDataLengthAt = 20;
constexpr size_t kDataAt = 21;

// The two send variants: flags, driver time-out, request length, capacity.
constexpr uint64_t kTimedFlags = 0;
constexpr uint32_t kTimedLength = 64;
constexpr uint64_t kProxyFlags = 1;
constexpr uint64_t kProxyTimeoutUs = 1000000;
constexpr uint32_t kProxyLength = 34;

// Status block the driver receives with each request; never read.
uint8_t NTstatus[16];
// The proxy's request descriptor, request data, response and its length.
ImbRequest imbData;
uint8_t gBuf[40];
uint8_t RespBuf[40];
int32_t RespBufLen;

void put_le64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = uint8_t(value >> (8 * i));
}

uint64_t address_of(const void* pointer) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(pointer));
}

// Request buffer for `request`; false when its data does not fit `length`.
bool build_request(uint8_t* buffer, uint32_t length, const ImbRequest* request, uint64_t flags,
                   uint64_t timeout_us) {
    if (request->dataLength < 0 || uint32_t(request->dataLength) > length - kDataAt ||
        (request->dataLength > 0 && !request->data))
        return false;
    std::memset(buffer, 0, length);
    put_le64(buffer + kFlagsAt, flags);
    put_le64(buffer + kTimeoutAt, timeout_us);
    buffer[kResponderAt] = request->rsSa;
    buffer[kCommandAt] = request->cmdType;
    buffer[kNetFnAt] = request->netFn;
    buffer[kLunAt] = request->rsLun;
    buffer[kDataLengthAt] = uint8_t(request->dataLength);
    if (request->dataLength > 0) std::memcpy(buffer + kDataAt, request->data, request->dataLength);
    return true;
}

// Master Write-Read through the proxy; 0 when sent and answered with
// completion code 0.
int32_t proxy_master_write_read(int32_t length) {
    imbData = ImbRequest{kMasterWriteRead, kBmcSlaveAddress, 0, kAppNetFn, 0, gBuf, length};
    int32_t failed = SendAsyncImbpRequest(&imbData, RespBuf, &RespBufLen);
    advance_imb_sequence();
    return failed == 0 && RespBuf[0] == 0 ? 0 : -1;
}

}  // namespace

void advance_imb_sequence() {
    uint8_t low = uint8_t(seqNo + 1);
    if (low == 0) low = 2;
    seqNo = uint16_t((seqNo & 0xFF00) | low);
}

void advance_message_id() {
    seqNo = uint16_t(seqNo + 1);
    if (seqNo == 0) seqNo = 2;
}

int32_t IpmiInit() {
    hDevice = 0;
    ipmi_driver_option = 0;
    if (open_imb()) {
        ipmi_driver_option = 1;
    } else if (open_imb2()) {
        hDevice = kOpenIpmiMarker;
        ipmi_driver_option = 2;
        checkAnyIPMI();
    } else {
        hDevice = 0;
        return -1;
    }
    seqNo = 2;
    return 0;
}

int32_t open_imb() {
    if (hDevice != 0) return 1;
    Fd device(sys().open(kImbDevice, O_RDWR));
    if (!device.valid()) {
        hDevice = 0;
        return 0;
    }
    hDevice = device.get();

    ImbRequest request{kGetDeviceId, kBmcSlaveAddress, 0, kAppNetFn, 0, nullptr, 0};
    uint8_t response[kTimedLength];
    int32_t length = 0;
    uint8_t completion = 0xFF;
    if (SendTimedImbpRequest(&request, kDeviceIdTimeoutMs, response, &length, &completion) != 0 ||
        completion != 0) {
        hDevice = 0;  // `device` closes the node
        return 0;
    }
    device.release();  // open for the rest of the run
    return 1;
}

int32_t SendTimedImbpRequest(const ImbRequest* request, int32_t timeout_ms, uint8_t* respData,
                             int32_t* respDataLen, uint8_t* completionCode) {
    uint8_t buffer[kTimedLength];
    uint8_t response[kTimedLength];
    if (!build_request(buffer, kTimedLength, request, kTimedFlags,
                       uint64_t(int64_t(timeout_ms) * 1000)))
        return 1;
    uint64_t returned = kTimedLength;
    if (!ImbIoctlTransfer(hDevice, kImbSendMessage, buffer, kTimedLength, response, kTimedLength,
                          &returned, nullptr) ||
        returned == 0)
        return 1;
    if (returned > kTimedLength) returned = kTimedLength;
    *completionCode = response[0];
    *respDataLen = 0;
    if (respData && returned >= 2) {
        *respDataLen = int32_t(returned - 1);
        std::memcpy(respData, response + 1, returned - 1);
    }
    return 0;
}

int32_t SendAsyncImbpRequest(const ImbRequest* request, uint8_t* respBuf, int32_t* respLen) {
    uint8_t buffer[kProxyLength];
    uint8_t response[kProxyLength];
    if (!build_request(buffer, kProxyLength, request, kProxyFlags, kProxyTimeoutUs)) return 1;
    uint64_t returned = kProxyLength;
    if (!ImbIoctlTransfer(hDevice, kImbSendMessage, buffer, kProxyLength, response, kProxyLength,
                          &returned, nullptr) ||
        returned == 0)
        return 1;
    if (returned > kProxyLength) returned = kProxyLength;
    *respLen = int32_t(returned + 1);
    std::memcpy(respBuf, response, returned);
    return 0;
}

int32_t ImbIoctlTransfer(int32_t handle, uint32_t ioctlCode, void* inBuffer, uint32_t inLength,
                         void* outBuffer, uint32_t outCapacity, uint64_t* returned,
                         void* overlapped) {
    uint8_t block[kControlBlockSize] = {};
    put_le64(block + kStatusBlockAt, address_of(NTstatus));
    put_le64(block + kRequestAt, address_of(inBuffer));
    put_le64(block + kRequestLengthAt, inLength);
    put_le64(block + kResponseAt, address_of(outBuffer));
    put_le64(block + kResponseCapacityAt, outCapacity);
    put_le64(block + kReturnedCountAt, address_of(returned));
    put_le64(block + kOverlappedAt, address_of(overlapped));
    return sys().ioctl(handle, ioctlCode, block) == 0 ? 1 : 0;
}

int32_t IpmiRead(uint32_t slave, uint32_t reg, uint32_t* value) {
    gBuf[0] = kPrivateBus2;
    gBuf[1] = uint8_t(slave * 2);
    gBuf[2] = 1;  // bytes to read
    gBuf[3] = uint8_t(reg);
    // A completion code alone (no data byte) is no reading either.
    if (proxy_master_write_read(4) != 0 || RespBufLen < 3) return -1;
    *value = RespBuf[1];
    return 0;
}

int32_t IpmiWrite(uint32_t slave, uint32_t reg, uint32_t value) {
    gBuf[0] = kPrivateBus2;
    gBuf[1] = uint8_t(slave * 2);
    gBuf[2] = 0;  // bytes to read
    gBuf[3] = uint8_t(reg);
    gBuf[4] = uint8_t(value);
    return proxy_master_write_read(5);
}

void reset_ipmi_imb_state() {
    hDevice = 0;
    ipmi_driver_option = 0;
    seqNo = 0;
    imbData = ImbRequest{};
    std::memset(gBuf, 0, sizeof gBuf);
    std::memset(RespBuf, 0, sizeof RespBuf);
    RespBufLen = 0;
}
