#pragma once
// A QR code drawn as SVG text: one black path of unit squares over a white background.
#include <qrcodegen.hpp>

#include <string>

constexpr int QR_BORDER = 4;  // light modules around the symbol

std::string qr_to_svg(const qrcodegen::QrCode& qr);
