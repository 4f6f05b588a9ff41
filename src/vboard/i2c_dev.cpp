#include "vboard/i2c_dev.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "vboard/devices.h"
#include "vboard/i2c_listing.h"
#include "vboard/virtual_board.h"

namespace {

// Slave addresses: 7 bits, or 10 bits once I2C_TENBIT is on.
constexpr unsigned long kMax7BitAddress = 0x7F;
constexpr unsigned long kMax10BitAddress = 0x3FF;

// The transaction sizes the i2c-dev ioctl lets through to the adapter; any
// other size is EINVAL before the adapter is asked.
constexpr uint32_t kKernelSizes[] = {
    I2C_SMBUS_QUICK,
    I2C_SMBUS_BYTE,
    I2C_SMBUS_BYTE_DATA,
    I2C_SMBUS_WORD_DATA,
    I2C_SMBUS_PROC_CALL,
    I2C_SMBUS_BLOCK_DATA,
    I2C_SMBUS_I2C_BLOCK_BROKEN,
    I2C_SMBUS_BLOCK_PROC_CALL,
    I2C_SMBUS_I2C_BLOCK_DATA,
};

bool kernel_size(uint32_t size) {
    for (uint32_t known : kKernelSizes)
        if (known == size) return true;
    return false;
}

// How many bytes of the caller's i2c_smbus_data the kernel copies for a size.
size_t data_size(uint32_t size) {
    switch (size) {
        case I2C_SMBUS_BYTE:
        case I2C_SMBUS_BYTE_DATA:
            return sizeof(i2c_smbus_data::byte);
        case I2C_SMBUS_WORD_DATA:
        case I2C_SMBUS_PROC_CALL:
            return sizeof(i2c_smbus_data::word);
        default:
            return sizeof(i2c_smbus_data::block);
    }
}

}  // namespace

I2cDevClient::I2cDevClient(VirtualBoard& board, std::shared_ptr<SmbusBus> bus)
    : board_(board), bus_(std::move(bus)) {}

int I2cDevClient::finish(int result) {
    if (result == 0) return 0;
    errno = -result;
    return -1;
}

// A plain read is an I2C message, which an SMBus-only adapter cannot send.
ssize_t I2cDevClient::read(void*, size_t count) {
    board_.trace().linef("i2c %u read %zu -> -1", bus_->number(), count);
    return finish(-EOPNOTSUPP);
}

int I2cDevClient::ioctl(unsigned long request, void* arg) {
    // Every request but I2C_FUNCS, I2C_RDWR and I2C_SMBUS passes its
    // argument as the unsigned long itself.
    unsigned long value = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(arg));
    switch (request) {
        case I2C_SLAVE:
        case I2C_SLAVE_FORCE:
            return select_slave(value, request == I2C_SLAVE_FORCE);
        case I2C_TENBIT:
            ten_bit_ = value != 0;
            return setting("tenbit", value, ULONG_MAX);
        case I2C_PEC:
            // Packet error checking needs the controller's help; without it
            // the flag is accepted and changes nothing on the wire.
            return setting("pec", value, ULONG_MAX);
        case I2C_RETRIES:
            // Retries only follow a lost arbitration, which a bus with one
            // master never sees.
            return setting("retries", value, INT_MAX);
        case I2C_TIMEOUT:
            // In units of 10 ms; no virtual transfer ever hangs long enough.
            return setting("timeout", value, INT_MAX / 10);
        case I2C_FUNCS:
            return functionality(static_cast<unsigned long*>(arg));
        case I2C_SMBUS:
            return smbus(static_cast<const i2c_smbus_ioctl_data*>(arg));
        case I2C_RDWR:
            board_.trace().linef("i2c %u rdwr -> -1", bus_->number());
            return finish(-EOPNOTSUPP);  // plain I2C messages: not on an SMBus-only adapter
        default:
            board_.trace().linef("i2c %u ioctl 0x%04lx -> -1", bus_->number(), request);
            return finish(-ENOTTY);
    }
}

int I2cDevClient::setting(const char* name, unsigned long value, unsigned long limit) {
    int result = value > limit ? -EINVAL : 0;
    board_.trace().linef("i2c %u %s %lu -> %d", bus_->number(), name, value, result ? -1 : 0);
    return finish(result);
}

// The address is only checked, not probed: selecting an address where no
// chip answers succeeds, the transfers then fail.
int I2cDevClient::select_slave(unsigned long address, bool force) {
    int result = 0;
    if (address > kMax10BitAddress || (!ten_bit_ && address > kMax7BitAddress)) {
        result = -EINVAL;
    } else if (!force && bus_->driver_holds(uint16_t(address))) {
        result = -EBUSY;  // a kernel driver owns the chip; only I2C_SLAVE_FORCE takes it
    } else {
        address_ = uint16_t(address);
    }
    board_.trace().linef("i2c %u %s 0x%02lx -> %d", bus_->number(), force ? "slave-force" : "slave",
                         address, result ? -1 : 0);
    return finish(result);
}

int I2cDevClient::functionality(unsigned long* out) {
    if (!out) {
        board_.trace().linef("i2c %u funcs -> -1", bus_->number());
        return finish(-EFAULT);
    }
    *out = SmbusBus::kFunctionality;
    board_.trace().linef("i2c %u funcs -> 0x%08lx", bus_->number(), SmbusBus::kFunctionality);
    return 0;
}

// The checks run in the kernel's order: size and direction, then the data
// pointer (not needed by quick and send byte), then whether the adapter does
// the transaction at all. The caller's data is read only for writes and
// written only after a read that worked, and only as many bytes as the size
// carries.
int I2cDevClient::smbus(const i2c_smbus_ioctl_data* request) {
    if (!request) {
        board_.trace().linef("i2c %u smbus -> -1", bus_->number());
        return finish(-EFAULT);
    }
    const i2c_smbus_ioctl_data args = *request;
    bool valid_direction = args.read_write == I2C_SMBUS_READ || args.read_write == I2C_SMBUS_WRITE;
    bool needs_data = !(args.size == I2C_SMBUS_QUICK ||
                        (args.size == I2C_SMBUS_BYTE && args.read_write == I2C_SMBUS_WRITE));
    int refused = 0;
    if (!kernel_size(args.size) || !valid_direction || (needs_data && !args.data)) {
        refused = -EINVAL;
    } else if (!SmbusBus::does(args.size)) {
        refused = -EOPNOTSUPP;
    }
    if (refused) {
        board_.trace().linef("i2c %u 0x%02x refused rw %u size %u command 0x%02x -> -1",
                             bus_->number(), address_, args.read_write, args.size, args.command);
        return finish(refused);
    }
    if (!needs_data)
        return finish(bus_->transfer(address_, args.read_write, args.command, args.size, nullptr));

    i2c_smbus_data temp{};
    size_t size = data_size(args.size);
    if (args.read_write == I2C_SMBUS_WRITE) std::memcpy(&temp, args.data, size);
    int result = bus_->transfer(address_, args.read_write, args.command, args.size, &temp);
    if (result == 0 && args.read_write == I2C_SMBUS_READ) std::memcpy(args.data, &temp, size);
    return finish(result);
}

namespace {

// udev makes the node crw------- root root.
std::unique_ptr<OpenDevice> open_node(VirtualBoard& board, std::shared_ptr<SmbusBus> bus) {
    if (board.board().uid != 0) {
        errno = EACCES;
        return nullptr;
    }
    return std::make_unique<I2cDevClient>(board, std::move(bus));
}

}  // namespace

void attach_smbus(VirtualBoard& board) {
    for (const SmbusAdapter& adapter : board.board().smbus) {
        auto bus = std::make_shared<SmbusBus>(board, adapter);
        board.add_device_node("/dev/i2c-" + std::to_string(adapter.bus),
                              [&board, bus](int) { return open_node(board, bus); });
    }
    add_i2c_listings(board);
}
