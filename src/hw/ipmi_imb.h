// The BMC interface of the run and the SMBus proxy through the IMB driver.
//
// The IMB driver is a character device, /dev/kvbmc, that takes one IPMI
// request per ioctl (0x1082) and answers with the BMC's completion code and
// response data. IpmiInit opens it, or failing that the OpenIPMI device, once
// at start-up; the choice holds for the whole run.
#pragma once

#include <cstdint>

// 0 while no BMC interface is open; the IMB driver's descriptor, or the
// marker 99 when the OpenIPMI device is open.
extern int32_t hDevice;
// 0 none, 1 IMB driver, 2 OpenIPMI device.
extern int32_t ipmi_driver_option;
// The sequence counter: 0 until IpmiInit opened an interface, then 2. The IMB
// proxy steps its low byte, the OpenIPMI commands use it as a 16-bit message ID.
extern uint16_t seqNo;

// Marker kept in hDevice while the OpenIPMI device is the BMC interface.
inline constexpr int32_t kOpenIpmiMarker = 99;

// One IPMI request as the IMB driver sends it (the bus type is not sent).
struct ImbRequest {
    uint8_t cmdType;  // command
    uint8_t rsSa;     // responder slave address (0x20, the BMC)
    uint8_t busType;
    uint8_t netFn;  // network function
    uint8_t rsLun;  // LUN
    uint8_t* data;  // request data, dataLength bytes
    int32_t dataLength;
};

// Opens a BMC interface if the board has one (IMB driver first, then the
// OpenIPMI device, whose BMC kind is then detected). 0 when one was opened,
// -1 when none.
int32_t IpmiInit();

// Opens /dev/kvbmc and checks it with Get Device ID. 1 open, 0 not.
int32_t open_imb();

// Sends `request` with a driver time-out of `timeout_ms`. The completion code
// goes to *completionCode; when `respData` is given and data came back, the
// data bytes go there and their count to *respDataLen (else 0). 0 sent,
// 1 failed. `respData` must hold 63 bytes.
int32_t SendTimedImbpRequest(const ImbRequest* request, int32_t timeout_ms, uint8_t* respData,
                             int32_t* respDataLen, uint8_t* completionCode);

// Sends `request` with a 1 s driver time-out and waits for the answer:
// respBuf[0] is the completion code, the data follows, *respLen is the count
// the driver returned + 1. 0 sent, 1 failed. `respBuf` must hold 34 bytes.
int32_t SendAsyncImbpRequest(const ImbRequest* request, uint8_t* respBuf, int32_t* respLen);

// Fills the 80-byte control block and makes the ioctl `ioctlCode` on `handle`.
// *returned carries the response capacity in and the driver's count out.
// `overlapped` is always null. 1 on success, 0 on failure.
int32_t ImbIoctlTransfer(int32_t handle, uint32_t ioctlCode, void* inBuffer, uint32_t inLength,
                         void* outBuffer, uint32_t outCapacity, uint64_t* returned,
                         void* overlapped);

// One byte register of the chip at 7-bit address `slave`, through the BMC's
// Master Write-Read on private bus 2. 0, or -1 (value untouched).
int32_t IpmiRead(uint32_t slave, uint32_t reg, uint32_t* value);
// Writes one byte register the same way. 0 or -1.
int32_t IpmiWrite(uint32_t slave, uint32_t reg, uint32_t value);

// Sequence counter steps. After an IMB proxy request the low byte goes +1,
// and from 255 to 2; after an OpenIPMI command the whole 16-bit counter goes
// +1, and from 65535 to 2 (0 and 1 are never used again).
void advance_imb_sequence();
void advance_message_id();

// Back to the start-of-run state: no interface, counter 0 (tests). Does not
// close any descriptor.
void reset_ipmi_imb_state();
