#!/usr/bin/env python3
"""Writes boards/large.json, the benchmark's large virtual board.

Kelvorante VB-160: a four-socket board with 108 monitored items.
  - W83627DHG on the LPC index/data ports 0x295/0x296 (chip code 19, banked)
  - W83793G at 0x2F on the ICH10 SMBus (chip code 17)
  - three W83795ADG at 0x2C, 0x2D, 0x2E on the same SMBus (chip code 23)
16 fans, 60 voltages, 16 temperatures, 16 switches, every one normal.

Each raw value is chosen from the rail's nominal value with the chip's own
conversion, the limits sit about 10 % above and below, and the script checks
that every reading lies strictly between its limits (fans: above the low
limit) before it writes anything. Run it again after changing the tables:

    python3 bench/large_board.py > boards/large.json
"""
import json
import math
import sys

# ---------------------------------------------------------------- conversions
# Millivolts from a raw byte, as the chips' voltage formulas compute them:
# double precision, left to right, truncated toward zero.


def zero_below(n, r, value):
    return 0 if r < n else value


FORMULAS = {
    19: {
        "P12V": lambda r: r * 1000 * 0.008 * 16.0,
        "P5V": lambda r: r * 1000 * 0.008 * 4.0,
        "P33V": lambda r: r * 1000 * 0.016,
        "VCCP": lambda r: zero_below(17, r, r * 1000 * 0.008),
    },
    17: {
        "P12V": lambda r: r * 1000 * 0.008 / 0.08333333333333333,
        "P5V": lambda r: r * 1000 * 0.024,
        "P33V": lambda r: r * 1000 * 0.016,
        "VCCP": lambda r: zero_below(17, r, r * 1000 * 0.008),
    },
    23: {
        "P12V": lambda r: r * 1000 * 0.008 / 0.1510574018126888,
        "P5V": lambda r: r * 1000 * 0.008 * 4.0,
        "P33V": lambda r: zero_below(25, r, r * 1000 * 0.024),
        "P25V": lambda r: r * 1000 * 0.008 / 0.08333333333333333,
        "VCCP": lambda r: zero_below(49, r, r * 1000 * 0.008),
        "VBAT": lambda r: r * 1000 * 0.008 / 0.21880650994575043,
        "P5VSB": lambda r: r * 1000 * 0.008 / 0.19920318725099603,
    },
}


def millivolts(chip, func, raw):
    return math.trunc(FORMULAS[chip][func](raw))


def raw_for(chip, func, mv):
    """The raw byte whose reading comes nearest to `mv`."""
    return min(range(256), key=lambda r: abs(millivolts(chip, func, r) - mv))


# ---------------------------------------------------------------- the chips
# Chip: code, bus (ISA bank or SMBus address), register tables per bank.
class Chip:
    def __init__(self, label, code, smbus_address=None):
        self.label = label
        self.code = code
        self.address = smbus_address  # None: the LPC chip
        self.banks = {}

    def set(self, bank, reg, value):
        regs = self.banks.setdefault(bank, {})
        if reg in regs and regs[reg] != value:
            sys.exit(f"{self.label}: bank {bank} register {reg:#04x} set twice")
        regs[reg] = value

    def item_slave(self, bank):
        return f"0x{self.address:02X}" if self.address is not None else str(bank)

    def bustype(self):
        return 1 if self.address is not None else 2


DHG = Chip("W83627DHG", 19)
W93 = Chip("W83793G", 17, 0x2F)
W95 = [Chip("W83795ADG-A", 23, 0x2C), Chip("W83795ADG-B", 23, 0x2D),
       Chip("W83795ADG-C", 23, 0x2E)]

items = []       # item sections, in report order
parameters = []  # (name, slave, offset, mask)
checks = []      # (name, value, high, low, category) for the normal test


def param(name, chip, bank, offset, mask=0xFF):
    parameters.append((name, chip.item_slave(bank), offset, mask))


# -------- fans: 16
fan_no = 0


def fan(name, chip, reg, limit_reg, count, limit_count, divisor=None, bank=0):
    """divisor: (register, mask, raw) for the 8-bit fans of the LPC chip."""
    global fan_no
    fan_no += 1
    n = fan_no
    if chip.code == 19:
        dreg, dmask, _ = divisor
        param(f"Divisor{n}", chip, bank, dreg, dmask)
        chip.set(bank, reg, count)
        chip.set(bank, limit_reg, limit_count)
        shift = {0xC0: 6, 0x30: 4, 0x0C: 2, 0x03: 0}[dmask]
        div = 1 << ((chip.banks[bank][dreg] & dmask) >> shift)
        rpm = 1350000 // div // count
        low = 1350000 // div // limit_count
    elif chip.code == 17:  # 12-bit count, high byte first
        param(f"Divisor{n}", chip, bank, limit_reg)
        chip.set(bank, reg, count >> 8)
        chip.set(bank, reg + 1, count & 0xFF)
        chip.set(bank, limit_reg, limit_count >> 8)
        chip.set(bank, limit_reg + 1, limit_count & 0xFF)
        rpm, low = 1350000 // count, 1350000 // limit_count
    else:  # W83795ADG: 8-bit count
        param(f"Divisor{n}", chip, bank, limit_reg)
        chip.set(bank, reg, count)
        chip.set(bank, limit_reg, limit_count)
        rpm, low = 84375 // count, 84375 // limit_count
    param(f"FAN{n}H", chip, bank, limit_reg)
    items.append(dict(name=name, cat="FAN", chip=chip, bank=bank, offset=reg,
                      p1=f"Divisor{n}", p2=f"FAN{n}H", id=f"Item_FAN{n}"))
    checks.append((name, "FAN", rpm, None, low))


DHG.set(0, 0x47, 0xA0)  # fan 1/2 divisor fields: 4 and 4
DHG.set(0, 0x4B, 0x80)  # fan 3 divisor field: 4
fan("CPU1 Fan", DHG, 0x29, 0x3C, 0x64, 0xE1, (0x47, 0xC0, 0xA0))
fan("CPU2 Fan", DHG, 0x2A, 0x3D, 0x69, 0xE1, (0x4B, 0xC0, 0x80))
fan("System Fan 1", DHG, 0x28, 0x3B, 0x6E, 0xF0, (0x47, 0x30, 0xA0))
for i, count in enumerate([0x0112, 0x0118, 0x0120, 0x0115]):
    fan(f"CPU{3 + i} Fan" if i < 2 else f"System Fan {i}", W93, 0x23 + 2 * i,
        0x90 + 2 * i, count, 0x0384)
fan_names = [["Front Fan 1", "Front Fan 2", "Front Fan 3"],
             ["Front Fan 4", "Front Fan 5", "Front Fan 6"],
             ["Rear Fan 1", "Rear Fan 2", "PSU Bay Fan"]]
fan_counts = [[0x1B, 0x1C, 0x1D], [0x1C, 0x1B, 0x1E], [0x21, 0x22, 0x2A]]
for chip, names, counts in zip(W95, fan_names, fan_counts):
    for k, (name, count) in enumerate(zip(names, counts)):
        fan(name, chip, 0x2E + k, 0xB6 + k, count, 0x5A)

# -------- voltages: 60
vol_no = 0


def voltage(name, chip, bank, reg, func, nominal, high_reg, low_reg):
    global vol_no
    vol_no += 1
    n = vol_no
    raw = raw_for(chip.code, func, nominal)
    hi = raw_for(chip.code, func, nominal * 1.10)
    lo = raw_for(chip.code, func, nominal * 0.90)
    chip.set(bank, reg, raw)
    chip.set(bank, high_reg, hi)
    chip.set(bank, low_reg, lo)
    param(f"VOL{n}H", chip, bank, high_reg)
    param(f"VOL{n}L", chip, bank, low_reg)
    items.append(dict(name=name, cat="VOLTAGE", chip=chip, bank=bank, offset=reg, func=func,
                      p1=f"VOL{n}H", p2=f"VOL{n}L", id=f"Item_VOL{n}"))
    checks.append((name, "VOLTAGE", millivolts(chip.code, func, raw),
                   millivolts(chip.code, func, hi), millivolts(chip.code, func, lo)))


# W83627DHG: bank 0 inputs 0x20-0x26 (limit pairs 0x2B-0x38), bank 5 0x50/0x51
# (limit pairs 0x54-0x57).
dhg_rails = [("PCH 1.05V", "VCCP", 1050), ("+1.5V", "VCCP", 1500), ("+3.3V", "P33V", 3300),
             ("+5V", "P5V", 5000), ("+12V", "P12V", 12000), ("+1.8V", "VCCP", 1800),
             ("+1.1V", "VCCP", 1100)]
for k, (name, func, mv) in enumerate(dhg_rails):
    voltage(name, DHG, 0, 0x20 + k, func, mv, 0x2B + 2 * k, 0x2C + 2 * k)
voltage("+3.3V Standby", DHG, 5, 0x50, "P33V", 3300, 0x54, 0x55)
voltage("VBAT", DHG, 5, 0x51, "P33V", 3000, 0x56, 0x57)

# W83793G: inputs 0x10-0x12 and 0x14-0x19, limit pairs from 0x60.
w93_rails = [(0x10, "CPU1 Core Voltage", "VCCP", 1100), (0x11, "CPU2 Core Voltage", "VCCP", 1100),
             (0x12, "CPU1-2 VTT Voltage", "VCCP", 1050), (0x14, "CPU1 DIMM Voltage", "VCCP", 1500),
             (0x15, "CPU2 DIMM Voltage", "VCCP", 1500), (0x16, "CPU1 VSA Voltage", "VCCP", 900),
             (0x17, "CPU2 VSA Voltage", "VCCP", 900), (0x18, "+5V Drive Bay", "P5V", 5000),
             (0x19, "+12V Drive Bay", "P12V", 12000)]
for k, (reg, name, func, mv) in enumerate(w93_rails):
    voltage(name, W93, 0, reg, func, mv, 0x60 + 2 * k, 0x61 + 2 * k)

# W83795ADG: inputs 0x10-0x1D, limit pairs 0x70 + 2 * (input - 0x10).
for c, chip in enumerate(W95):
    cpu = (3, 4, None)[c]
    if cpu is not None:
        rails = [(f"CPU{cpu} Core Voltage", "VCCP", 1100), (f"CPU{cpu} VTT Voltage", "VCCP", 1050),
                 (f"CPU{cpu} VSA Voltage", "VCCP", 900), (f"CPU{cpu} DIMM AB Voltage", "VCCP", 1500),
                 (f"CPU{cpu} DIMM CD Voltage", "VCCP", 1500), (f"CPU{cpu} PLL Voltage", "VCCP", 1800),
                 (f"CPU{cpu} +1.2V", "VCCP", 1200), (f"CPU{cpu} +0.75V VTT", "VCCP", 750),
                 (f"Riser {cpu - 2} +12V", "P12V", 12000), (f"Riser {cpu - 2} +5V", "P5V", 5000),
                 (f"Riser {cpu - 2} +3.3V", "P33V", 3300), (f"Riser {cpu - 2} +2.5V", "P25V", 2500),
                 (f"Riser {cpu - 2} +1.8V", "VCCP", 1800), (f"Riser {cpu - 2} +1.5V", "VCCP", 1500)]
    else:
        rails = [("PSU1 +12V", "P12V", 12000), ("PSU2 +12V", "P12V", 12000),
                 ("PSU3 +12V", "P12V", 12000), ("PSU4 +12V", "P12V", 12000),
                 ("+5V Standby", "P5VSB", 5000), ("Backplane +5V", "P5V", 5000),
                 ("Backplane +3.3V", "P33V", 3300), ("Backplane +12V", "P12V", 12000),
                 ("BMC +2.5V", "P25V", 2500), ("BMC +1.2V", "VCCP", 1200),
                 ("NIC +1.0V", "VCCP", 1000), ("NIC +1.8V", "VCCP", 1800),
                 ("SAS +1.5V", "VCCP", 1500), ("RTC Battery", "VBAT", 3000)]
    for k, (name, func, mv) in enumerate(rails):
        voltage(name, chip, 0, 0x10 + k, func, mv, 0x70 + 2 * k, 0x71 + 2 * k)

# -------- temperatures: 16
temp_no = 0


def temperature(name, chip, bank, reg, degrees, high, high_reg, hyst_reg):
    global temp_no
    temp_no += 1
    n = temp_no
    chip.set(bank, reg, degrees)
    chip.set(bank, high_reg, high)
    chip.set(bank, hyst_reg, high - 5)
    param(f"TEMP{n}H", chip, bank, high_reg)
    param(f"TEMP{n}L", chip, bank, hyst_reg)
    items.append(dict(name=name, cat="TEMP", chip=chip, bank=bank, offset=reg,
                      p1=f"TEMP{n}H", p2=f"TEMP{n}L", id=f"Item_TEMP{n}"))
    checks.append((name, "TEMP", degrees, high, None))


temperature("System Temperature", DHG, 0, 0x27, 34, 55, 0x39, 0x3A)
temperature("Chipset Temperature", DHG, 1, 0x50, 51, 85, 0x55, 0x53)
temperature("Ambient Temperature", DHG, 2, 0x50, 27, 45, 0x55, 0x53)
W93.set(0, 0x5E, 0x05)  # temperature inputs in thermistor mode: no diode fault check
for k, (name, t, hi) in enumerate([("CPU1 Temperature", 45, 80), ("CPU2 Temperature", 43, 80),
                                   ("DIMM A Temperature", 38, 75), ("DIMM B Temperature", 39, 75)]):
    temperature(name, W93, 0, 0x1C + k, t, hi, 0x78 + 2 * k, 0x79 + 2 * k)
temperature("VRM1 Temperature", W93, 0, 0x20, 52, 95, 0x80, 0x81)
temperature("VRM2 Temperature", W93, 0, 0x21, 50, 95, 0x82, 0x83)
w95_temps = [[("CPU3 Temperature", 44, 80), ("CPU4 Temperature", 46, 80), ("VRM3 Temperature", 49, 95)],
             [("DIMM C Temperature", 37, 75), ("DIMM D Temperature", 36, 75)],
             [("PSU Bay Temperature", 33, 60), ("Front Panel Temperature", 26, 45)]]
for chip, temps in zip(W95, w95_temps):
    for k, (name, t, hi) in enumerate(temps):
        temperature(name, chip, 0, 0x21 + k, t, hi, 0x98 + 4 * k, 0x99 + 4 * k)

# -------- switches: 16
sw_no = 0


def switch(name, chip, bank, reg, mask, activate, value, clear=None):
    """value: the status register's byte; activate: the bit level that means trouble."""
    global sw_no
    sw_no += 1
    n = sw_no
    old = chip.banks.get(bank, {}).get(reg)
    chip.set(bank, reg, value if old is None else old)
    param(f"SWITCH{n}A", chip, bank, reg, mask)
    creg, cmask = clear if clear else (reg, 0)
    param(f"SWITCH{n}C", chip, bank, creg, cmask)
    items.append(dict(name=name, cat="SWITCH", chip=chip, bank=bank, offset=reg, activate=activate,
                      p1=f"SWITCH{n}A", p2=f"SWITCH{n}C", id=f"Item_SWITCH{n}"))
    bit = (chip.banks[bank][reg] & mask) != 0
    checks.append((name, "SWITCH", 1 if bit == bool(activate) else 0, None, None))


switch("Chassis Intrusion", DHG, 0, 0x42, 0x10, 1, 0x00, clear=(0x46, 0x80))
# Thermal-trip and VRM-hot lines are active high on the monitor's GPIO inputs;
# the supplies' power-good lines are active low (0 means failure).
switch("CPU1 Thermal Trip", W93, 0, 0x4A, 0x01, 1, 0x00)
switch("CPU2 Thermal Trip", W93, 0, 0x4A, 0x02, 1, 0x00)
switch("CPU3 Thermal Trip", W95[0], 0, 0x47, 0x01, 1, 0xF0)
switch("CPU4 Thermal Trip", W95[0], 0, 0x47, 0x02, 1, 0xF0)
switch("PSU1 Failure", W95[0], 0, 0x47, 0x10, 0, 0xF0)
switch("PSU2 Failure", W95[0], 0, 0x47, 0x20, 0, 0xF0)
for k in range(4):
    switch(f"CPU{k + 1} VRM Hot", W95[1], 0, 0x47, 1 << k, 1, 0x00)
switch("PSU3 Failure", W95[2], 0, 0x47, 0x10, 0, 0x30)
switch("PSU4 Failure", W95[2], 0, 0x47, 0x20, 0, 0x30)
switch("Memory Riser Fault", W95[2], 0, 0x48, 0x01, 1, 0x02)
switch("Fan Tray Missing", W95[2], 0, 0x48, 0x02, 0, 0x02)
switch("Front Bezel Open", W95[2], 0, 0x48, 0x04, 1, 0x02)

# ---------------------------------------------------------------- checks
counts = {c: sum(1 for i in items if i["cat"] == c) for c in ("FAN", "VOLTAGE", "TEMP", "SWITCH")}
if counts != {"FAN": 16, "VOLTAGE": 60, "TEMP": 16, "SWITCH": 16}:
    sys.exit(f"item counts {counts}")
for name, cat, value, high, low in checks:
    normal = {"FAN": lambda: value > low, "VOLTAGE": lambda: low < value < high,
              "TEMP": lambda: value < high, "SWITCH": lambda: value == 0}[cat]()
    if not normal:
        sys.exit(f"{name}: not normal ({value}, {high}, {low})")
if len({i["name"] for i in items}) != len(items):
    sys.exit("item names repeat")

# ---------------------------------------------------------------- Senvis.ini
ini = ["[System]", "BUSTYPE=3", "INDEXREG=0x295", "DATAREG=0x296", "POLLING=5",
       "MAILALERT=FALSE", "PAGERALERT=FALSE", "MACHINENAME=vb160-large", "MAILBOX=root@localhost",
       "MAILSERVER=localhost", "SERVERPORT=25", "OUTLINE=", "PAGERID=", "PHONENUMBER=", ""]
for i in items:
    ini += ["[Item]", f"ITEM_NAME={i['name']}", f"ITEM_ID={i['id']}", f"ITEM_CAT={i['cat']}",
            f"CHIPCODE=0x{i['chip'].code:02X}", f"BUSTYPE={i['chip'].bustype()}",
            f"SLAVE={i['chip'].item_slave(i['bank'])}", f"OFFSET=0x{i['offset']:02X}"]
    if "func" in i:
        ini.append(f"VOL_FUNC={i['func']}")
    if "activate" in i:
        ini.append(f"ACTIVATE={i['activate']}")
    ini += [f"PARAINDEX1={i['p1']}", f"PARAINDEX2={i['p2']}", "MONITOR=TRUE", ""]
for name, slave, offset, mask in parameters:
    ini += ["[Parameter]", f"PARAMETER={name}", f"SLAVE={slave}", f"OFFSET=0x{offset:02X}",
            f"BITMASK=0x{mask:02X}", ""]
ini_text = "\n".join(ini[:-1]) + "\n"

# ---------------------------------------------------------------- board file


def regs(table):
    return {f"0x{r:02X}": f"0x{v:02X}" for r, v in sorted(table.items())}


dhg_banks = {str(b): regs(t) for b, t in sorted(DHG.banks.items()) if b != 0}
dhg_regs = regs(DHG.banks[0])
dhg_regs.update({"0x4E": "0x80", "0x4F": "0x5C"})  # bank select (bank 0), vendor ID high byte


def smbus_device(chip):
    return {"address": f"0x{chip.address:02X}", "bank_register": "0x00", "bank_mask": "0x07",
            "registers": {"0x00": "0x80"}, "banks": {"0": regs(chip.banks[0])}}


board = {
    "name": "large",
    "description": ("Kelvorante VB-160 1.0, the benchmark board: 108 items (16 fans, 60 voltages, "
                    "16 temperatures, 16 switches) on a W83627DHG at 0x295/0x296, a W83793G at "
                    "0x2F and three W83795ADG at 0x2C-0x2E on the ICH10 SMBus (i2c-dev), no BMC. "
                    "Every reading is normal. Generated by bench/large_board.py."),
    "clock": {"start": "2026-12-04 23:13:59", "virtual": True, "pace": True},
    "smbios": {
        "entry_point": "0xF0A00",
        "table_address": "0xF1000",
        "structures": [
            {"type": 0, "strings": ["Kelvorante", "1.0a", "03/02/2013"], "string_numbers": [1, 2],
             "data": "00 f0 03 1f 80 98 8b 3f 01 00 00 00 03 01 01 00 ff ff"},
            {"type": 1, "strings": ["KELVORANTE", "VB-160", "1.0", "KV160A0004711"],
             "string_numbers": [1, 2, 3, 4],
             "data": "4a 0e 51 c2 19 7d 4b 06 a8 33 5d 19 c4 02 e6 71 06"},
            {"type": 2, "strings": ["KELVORANTE", "VB-160", "1.0", "KV160A0004711"],
             "string_numbers": [1, 2, 3, 4], "data": "00 09 00 03 00 0a 00"},
            {"type": 127},
        ],
    },
    "dmidecode": "auto",
    "pci": [
        {"bus": 0, "device": 0, "function": 0, "id": "0x34068086", "config": {"0x08": "0x06000013"}},
        {"bus": 0, "device": 31, "function": 0, "id": "0x3A168086",
         "config": {"0x08": "0x06010000", "0x0C": "0x00800000"}},
        {"bus": 0, "device": 31, "function": 3, "id": "0x3A308086",
         "config": {"0x04": "0x02800001", "0x08": "0x0C050000", "0x20": "0x00001101",
                    "0x3C": "0x0000030B"}},
    ],
    "ports": {
        "0x2E": {"superio": {"data": "0x2F", "entry": ["0x87", "0x87"], "exit": "0xAA",
                             "registers": {"0x20": "0xA0", "0x21": "0x25"},
                             "devices": {"0x0B": {"0x30": "0x01", "0x60": "0x02", "0x61": "0x90"}}}},
        "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E", "bank_mask": "0x07",
                                 "registers": dhg_regs, "banks": dhg_banks,
                                 # the case-open latch: bank 0, 0x46 bit 7 clears 0x42 bit 4
                                 "latches": [{"write": "0x46", "bank": 0, "bits": "0x80",
                                              "clear": {"0x42": "0x10"}}]}},
        "0x1100": {"bytes": " ".join(["00"] * 32)},
    },
    "smbus": [
        {"bus": 0, "type": "smbus", "name": "SMBus I801 adapter at 1100",
         "algorithm": "Non-I2C SMBus adapter", "listing": "proc",
         "devices": [smbus_device(c) for c in W95 + [W93]]},
    ],
    "modules": ["i2c_dev", "i2c_i801", "i2c_core", "e1000e", "ext4"],
    "files": {"/etc/Senvis.ini": ini_text},
}

json.dump(board, sys.stdout, indent=2)
sys.stdout.write("\n")
