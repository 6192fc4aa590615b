#pragma once

// Control bytes of the protocol.
namespace Ctl {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char DC1 = 0x11;
constexpr char DC3 = 0x13;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;
} // namespace Ctl
