// The fixed-size values of the package's cryptography. Free of <windows.h>, so that the readers
// that make them from published text build anywhere.
#pragma once

#include <array>
#include <cstdint>

using Sha256Digest = std::array<uint8_t, 32>;
// A P-256 public point: X then Y, 32 bytes each, big-endian, as CNG's public key blob holds it.
using EcdsaPublicKey = std::array<uint8_t, 64>;
// An ECDSA P-256 signature: r then s, 32 bytes each, big-endian, as CNG takes it.
using EcdsaSignature = std::array<uint8_t, 64>;
