#include "cards/qr_svg.h"

#include <climits>
#include <sstream>
#include <stdexcept>

std::string qr_to_svg(const qrcodegen::QrCode& qr) {
  const int size = qr.getSize();
  if (QR_BORDER > INT_MAX / 2 || QR_BORDER * 2 > INT_MAX - size) throw std::overflow_error("Border too large");
  const int view = size + QR_BORDER * 2;

  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg << "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n";
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 " << view << " " << view
      << "\" stroke=\"none\">\n";
  svg << "\t<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n";
  svg << "\t<path d=\"";
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if (!qr.getModule(x, y)) continue;
      if (x != 0 || y != 0) svg << " ";
      svg << "M" << (x + QR_BORDER) << "," << (y + QR_BORDER) << "h1v1h-1z";
    }
  }
  svg << "\" fill=\"#000000\"/>\n";
  svg << "</svg>\n";
  return svg.str();
}
