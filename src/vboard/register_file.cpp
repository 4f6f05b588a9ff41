#include "vboard/register_file.h"

#include "vboard/latches.h"

namespace {
constexpr int kShared = -1;  // key of registers seen in every bank
}

RegisterFile::RegisterFile(const BankedRegisters& model, const VirtualClock& clock)
    : spec_(model), clock_(clock) {
    if (spec_.bank_register) {
        auto initial = spec_.registers.find(*spec_.bank_register);
        if (initial != spec_.registers.end() && !initial->second.values.empty())
            bank_register_value_ = initial->second.values.front();
    }
    initial_bank_register_value_ = bank_register_value_;
}

RegisterFile::RegisterFile(const RegisterMap& registers, const VirtualClock& clock)
    : RegisterFile(BankedRegisters{std::nullopt, 0, registers, {}, {}}, clock) {}

uint8_t RegisterFile::bank() const {
    return spec_.bank_register ? uint8_t(bank_register_value_ & spec_.bank_mask) : 0;
}

bool RegisterFile::is_banked(uint8_t reg) const {
    auto bank_map = spec_.banks.find(bank());
    return bank_map != spec_.banks.end() && bank_map->second.count(reg) != 0;
}

std::optional<uint8_t> RegisterFile::value_of(const RegisterValue& model, size_t* read_count) const {
    switch (model.kind) {
        case RegisterValue::Kind::fail:
            return std::nullopt;
        case RegisterValue::Kind::fixed:
            return model.values.front();
        case RegisterValue::Kind::on_read:
            return model.values[(*read_count)++ % model.values.size()];
        case RegisterValue::Kind::timed: {
            int64_t seconds = clock_.elapsed_ns() / 1000000000;
            return model.values[size_t(seconds / model.every_seconds) % model.values.size()];
        }
    }
    return std::nullopt;
}

std::optional<uint8_t> RegisterFile::read(uint8_t reg) {
    if (spec_.bank_register && reg == *spec_.bank_register) return bank_register_value_;
    int where = is_banked(reg) ? bank() : kShared;
    auto written = written_.find({where, reg});
    if (written != written_.end()) return written->second;
    const RegisterMap& map = where == kShared ? spec_.registers : spec_.banks.at(bank());
    auto entry = map.find(reg);
    if (entry == map.end()) return 0x00;  // a register the board does not set
    return value_of(entry->second, &reads_[{where, reg}]);
}

void RegisterFile::write(uint8_t reg, uint8_t value) {
    if (spec_.bank_register && reg == *spec_.bank_register) {
        bank_register_value_ = value;
        return;
    }
    if (spec_.latches.empty()) return store(reg, value);
    std::optional<uint8_t> bank;
    if (spec_.bank_register) bank = this->bank();
    write_through_latches(
        spec_.latches, reg, value, bank, [this](uint16_t r) { return peek(uint8_t(r)); },
        [this](uint16_t r, uint8_t v) { store(uint8_t(r), v); });
}

void RegisterFile::store(uint8_t reg, uint8_t value) {
    written_[{is_banked(reg) ? int(bank()) : kShared, reg}] = value;
}

uint8_t RegisterFile::peek(uint8_t reg) const {
    int where = is_banked(reg) ? bank() : kShared;
    auto written = written_.find({where, reg});
    if (written != written_.end()) return written->second;
    const RegisterMap& map = where == kShared ? spec_.registers : spec_.banks.at(bank());
    auto entry = map.find(reg);
    if (entry == map.end()) return 0x00;
    auto reads = reads_.find({where, reg});
    size_t count = reads == reads_.end() ? 0 : reads->second;  // a copy: the sequence stays
    return value_of(entry->second, &count).value_or(0x00);
}

void RegisterFile::save(std::vector<HeldValue>& out) const {
    if (spec_.bank_register && bank_register_value_ != initial_bank_register_value_)
        out.push_back({"*", *spec_.bank_register, bank_register_value_});
    for (const auto& [where, value] : written_)
        out.push_back({place_name(where.first), where.second, value});
}

// A register a bank overrides is held for that bank, any other for every
// bank, as write() keeps them.
bool RegisterFile::restore(const HeldValue& held, bool apply) {
    std::optional<int> where = place_number(held.place);
    if (!where || held.reg > 0xFF || held.value > 0xFF) return false;
    const auto reg = uint8_t(held.reg), value = uint8_t(held.value);
    if (spec_.bank_register && reg == *spec_.bank_register) {
        if (*where != -1) return false;
        if (apply) bank_register_value_ = value;
        return true;
    }
    if (*where != -1) {
        auto bank = spec_.banks.find(uint8_t(*where));
        if (bank == spec_.banks.end() || bank->second.count(reg) == 0) return false;
    }
    if (apply) written_[{*where, reg}] = value;
    return true;
}

ChipStateAccess RegisterFile::state_access() {
    return {[this](std::vector<HeldValue>& out) { save(out); },
            [this](const HeldValue& held, bool apply) { return restore(held, apply); }};
}
