// What the port list says in words, and its order: the same on every system.

#include "serial/platform/SerialPortSystem.h"

#include <q4471/serial/SerialPorts.h>

#include <cctype>
#include <cstdio>

namespace SerialPlatform {

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && digit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && digit(b[endB])) {
                ++endB;
            }
            // Without leading zeros, the longer run of digits is the larger number.
            const std::string numberA = a.substr(i, endA - i);
            const std::string numberB = b.substr(j, endB - j);
            if (numberA.size() != numberB.size()) {
                return numberA.size() < numberB.size();
            }
            if (numberA != numberB) {
                return numberA < numberB;
            }
            i = endA;
            j = endB;
        } else if (a[i] != b[j]) {
            return a[i] < b[j];
        } else {
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

} // namespace SerialPlatform

std::string PortKindName(TSerialPortKind kind) {
    switch (kind) {
    case pkBuiltIn:
        return "built-in UART";
    case pkUsbAdapter:
        return "USB serial adapter";
    case pkUsbModem:
        return "USB modem-class device";
    case pkBluetooth:
        return "Bluetooth";
    case pkOther:
        break;
    }
    return "other";
}

std::string PortIdentity(const TSerialPortInfo& port) {
    std::string product = port.Manufacturer;
    if (!port.Product.empty()) {
        // Many makers repeat their name in the product ("Prolific", "Prolific USB-Serial").
        const bool repeated = !product.empty() && port.Product.starts_with(product);
        product = repeated || product.empty() ? port.Product : product + " " + port.Product;
    }
    std::string text = product.empty() ? PortKindName(port.Kind) : product;
    if (!port.SerialNumber.empty()) {
        text += ", serial " + port.SerialNumber;
    }
    if (port.HasUsbIds) {
        char ids[16];
        std::snprintf(ids, sizeof ids, ", %04x:%04x", port.VendorId, port.ProductId);
        text += ids;
    }
    return text;
}
