#pragma once
// What kind of view a child window is. Each view declares one bit; the frame enables the
// container commands by it.

namespace tessarind {

enum ViewCapability : int {
    kCapabilityDirectory = 0x01,
    kCapabilityBam = 0x02,
    kCapabilitySectorEditor = 0x04,
    kCapabilityTextView = 0x08,
    kCapabilityPartitionList = 0x10,
    kCapabilityTapeDirectory = 0x20,
    kCapabilityNoView = 0x80, // only used to disable every container command
};

} // namespace tessarind
