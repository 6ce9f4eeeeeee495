#include "package/qfm_header.h"

#include <algorithm>
#include <cstring>

#include "package/crc16.h"
#include "package/qfm_package.h"

namespace flashery {

bool QfmHeader::HasMagic() const { return std::equal(kQfmMagic.begin(), kQfmMagic.end(), bytes.begin()); }

uint8_t QfmHeader::Byte(size_t at) const { return at < bytes.size() ? bytes[at] : 0; }

uint32_t QfmHeader::U32(size_t at) const {
  if (at > bytes.size() || bytes.size() - at < 4) return 0;
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

std::string QfmHeader::RawText(size_t at, size_t fieldBytes) const {
  if (at >= bytes.size()) return {};
  fieldBytes = std::min(fieldBytes, bytes.size() - at);
  const uint8_t* begin = bytes.data() + at;
  const uint8_t* end = std::find(begin, begin + fieldBytes, uint8_t{0});
  return std::string(begin, end);
}

std::optional<std::string> QfmHeader::DecodedText(size_t at, size_t fieldBytes, Codepage legacy) const {
  std::string raw = RawText(at, fieldBytes);
  if (HasUtf8Bom(raw)) return DecodeStrict(std::string_view(raw).substr(kUtf8Bom.size()), Codepage::Utf8);
  return DecodeStrict(raw, legacy);
}

std::string QfmHeader::Text(size_t at, size_t fieldBytes, Codepage legacy) const {
  if (auto text = DecodedText(at, fieldBytes, legacy)) return *text;
  return EscapedBytes(RawText(at, fieldBytes));
}

std::optional<std::string> QfmHeader::UndecodableText(Codepage legacy) const {
  if (!DecodedText(qfm::kProductName, qfm::kProductNameBytes, legacy)) return std::string("product name");
  if (!DecodedText(qfm::kVersionName, qfm::kVersionNameBytes, legacy)) return std::string("version name");
  for (QfmSectionKey key : kQfmCheckOrder) {
    QfmSectionLayout l = QfmLayoutOf(key);
    if (l.nameBytes != 0 && !DecodedText(l.nameAt, l.nameBytes, legacy))
      return std::string(l.keyName) + (ExtendSlotOf(key) ? " " + std::to_string(ExtendSlotOf(key)) : "") +
             " section name";
  }
  return std::nullopt;
}

std::string QfmHeader::ProductName(Codepage legacy) const {
  return Text(qfm::kProductName, qfm::kProductNameBytes, legacy);
}
std::string QfmHeader::VersionName(Codepage legacy) const {
  return Text(qfm::kVersionName, qfm::kVersionNameBytes, legacy);
}
std::string QfmHeader::SystemName(Codepage legacy) const {
  QfmSectionLayout l = QfmLayoutOf(QfmSectionKey::System);
  return Text(l.nameAt, l.nameBytes, legacy);
}

uint32_t QfmHeader::ComputeHeaderCheck() const { return Crc16Update(bytes.data(), kQfmHeaderCheckedBytes, 0); }

void QfmHeader::SetMagic() { std::copy(kQfmMagic.begin(), kQfmMagic.end(), bytes.begin()); }

void QfmHeader::SetByte(size_t at, uint8_t value) {
  if (at < bytes.size()) bytes[at] = value;
}

void QfmHeader::SetU32(size_t at, uint32_t value) {
  if (at > bytes.size() || bytes.size() - at < 4) return;
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool QfmHeader::SetText(size_t at, size_t fieldBytes, std::string_view encoded) {
  if (at >= bytes.size() || fieldBytes > bytes.size() - at) return false;
  if (encoded.size() + 1 > fieldBytes || encoded.find('\0') != std::string_view::npos) return false;
  std::memset(bytes.data() + at, 0, fieldBytes);
  std::memcpy(bytes.data() + at, encoded.data(), encoded.size());
  return true;
}

void QfmHeader::Seal() { SetU32(qfm::kHeaderCheck, ComputeHeaderCheck()); }

QfmSection SectionFromHeader(const QfmHeader& header, QfmSectionKey key, Codepage legacy) {
  QfmSectionLayout l = QfmLayoutOf(key);
  QfmSection s;
  s.present = header.Byte(l.presentAt);
  s.offset = header.U32(l.offsetAt);
  s.size = header.U32(l.sizeAt);
  s.checkValue = header.U32(l.checkAt);
  if (l.nameBytes != 0) s.name = header.Text(l.nameAt, l.nameBytes, legacy);
  return s;
}

}  // namespace flashery
