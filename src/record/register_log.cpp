#include "record/register_log.h"

#include <map>
#include <optional>
#include <set>
#include <utility>

namespace {

// One register in one bank, as the replay will hold it.
struct Cell {
    std::vector<uint8_t> reads;      // what it gave before it was first written
    bool fails = false;              // every such read failed
    std::optional<uint8_t> written;  // what the replay gives from then on
};

// What the board file says of a cell; null when the run never read it
// before writing it (the replay then needs nothing).
Json value_of(const Cell& cell) {
    if (cell.fails) return Json{{"fail", true}};
    if (cell.reads.empty()) return nullptr;
    bool steady = true;
    for (uint8_t value : cell.reads) steady = steady && value == cell.reads.front();
    if (steady) return hex_text(cell.reads.front());
    Json values = Json::array();
    for (uint8_t value : cell.reads) values.push_back(hex_text(value));
    return Json{{"values", values}, {"advance", "read"}};
}

std::string read_back(const std::string& chip, uint8_t reg, const std::string& got,
                      const std::string& replay) {
    return chip + " register " + hex_text(reg) + " read " + got + " where the replay gives " +
           replay;
}

}  // namespace

Json recorded_registers(Json out, const std::vector<RegisterAccess>& log,
                        std::span<const BankSelect> selects, const std::string& chip,
                        ReplayNotes& notes) {
    std::optional<BankSelect> select;
    for (const BankSelect& candidate : selects) {
        for (const RegisterAccess& access : log) {
            if (access.kind == RegisterAccess::Kind::write && access.reg == candidate.reg) {
                select = candidate;
                break;
            }
        }
        if (select) break;
    }

    // The bank select register as the replay keeps it: from the start, the
    // value the run first read there (unset: 0x00), until the run writes it.
    std::optional<uint8_t> initial;
    for (const RegisterAccess& access : log) {
        if (!select || access.reg != select->reg) continue;
        if (access.kind == RegisterAccess::Kind::read) initial = access.value;
        break;
    }
    uint8_t bank_value = initial.value_or(0);
    std::map<std::pair<uint8_t, uint8_t>, Cell> cells;  // (bank, register)
    for (const RegisterAccess& access : log) {
        if (select && access.reg == select->reg) {
            if (access.kind == RegisterAccess::Kind::write) {
                bank_value = access.value;
            } else if (access.kind == RegisterAccess::Kind::failed_read) {
                notes.add(read_back(chip, access.reg, "nothing", hex_text(bank_value)));
            } else if (access.value != bank_value) {
                notes.add(
                    read_back(chip, access.reg, hex_text(access.value), hex_text(bank_value)));
            }
            continue;
        }
        uint8_t bank = select ? uint8_t(bank_value & select->mask) : 0;
        Cell& cell = cells[{bank, access.reg}];
        switch (access.kind) {
            case RegisterAccess::Kind::write:
                cell.written = access.value;
                break;
            case RegisterAccess::Kind::read:
                if (cell.written && access.value != *cell.written) {
                    notes.add(read_back(chip, access.reg, hex_text(access.value),
                                        hex_text(*cell.written)));
                } else if (cell.fails) {
                    notes.add(read_back(chip, access.reg, hex_text(access.value), "a failure"));
                } else if (!cell.written) {
                    cell.reads.push_back(access.value);
                }
                break;
            case RegisterAccess::Kind::failed_read:
                if (cell.written || !cell.reads.empty()) {
                    std::string replay =
                        hex_text(cell.written ? *cell.written : cell.reads.front());
                    notes.add(read_back(chip, access.reg, "nothing", replay));
                } else {
                    cell.fails = true;
                }
                break;
        }
    }

    // A register seen in bank 0 (or on a chip without banks) is recorded for
    // every bank; one seen in another bank gets its own entry there. A
    // register written in that bank without being read still needs one when
    // another bank shows it, so that the write stays in its bank.
    std::map<uint8_t, std::set<uint8_t>> banks_of;
    for (const auto& [where, cell] : cells) banks_of[where.second].insert(where.first);
    std::map<uint8_t, Json> shared;
    std::map<uint8_t, std::map<uint8_t, Json>> banked;
    if (select && initial) shared[select->reg] = hex_text(*initial);
    for (const auto& [where, cell] : cells) {
        auto [bank, reg] = where;
        Json value = value_of(cell);
        if (bank == 0) {
            if (!value.is_null()) shared[reg] = value;
        } else if (!value.is_null() || banks_of[reg].size() > 1) {
            banked[bank][reg] = value.is_null() ? Json(hex_text(0)) : value;
        }
    }

    if (select) {
        out["bank_register"] = hex_text(select->reg);
        out["bank_mask"] = hex_text(select->mask);
    }
    Json registers = Json::object();
    for (auto& [reg, value] : shared) registers[hex_text(reg)] = std::move(value);
    out["registers"] = std::move(registers);
    if (!banked.empty()) {
        Json banks = Json::object();
        for (auto& [bank, regs] : banked) {
            Json in_bank = Json::object();
            for (auto& [reg, value] : regs) in_bank[hex_text(reg)] = std::move(value);
            banks[std::to_string(bank)] = std::move(in_bank);
        }
        out["banks"] = std::move(banks);
    }
    return out;
}

std::string byte_list(const std::vector<uint8_t>& bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}
