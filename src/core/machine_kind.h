#pragma once
#include <cstdint>

namespace vantrel {

// The selected machine; the value is stored in the settings as kikai_mode and is the Tag of the
// machine menu items and tool-bar buttons.
enum class MachineKind : int32_t {
    VerticalMill = 0,
    HorizontalMill = 1,
    Lathe = 2,
    VerticalLathe = 3,
    WireEdm = 4,
};

enum class MachineFamily { Milling, Turning, Wire };

constexpr MachineFamily familyOf(MachineKind k) {
    switch (k) {
        case MachineKind::VerticalMill:
        case MachineKind::HorizontalMill:
            return MachineFamily::Milling;
        case MachineKind::Lathe:
        case MachineKind::VerticalLathe:
            return MachineFamily::Turning;
        case MachineKind::WireEdm:
            return MachineFamily::Wire;
    }
    return MachineFamily::Milling;
}
constexpr bool isMilling(MachineKind k) {
    return familyOf(k) == MachineFamily::Milling;
}
constexpr bool isTurning(MachineKind k) {
    return familyOf(k) == MachineFamily::Turning;
}
constexpr bool isWire(MachineKind k) {
    return familyOf(k) == MachineFamily::Wire;
}

// Stored or user-given integers become a kind only through this check.
constexpr bool isValidMachineKind(int v) {
    return v >= 0 && v <= 4;
}

}  // namespace vantrel
