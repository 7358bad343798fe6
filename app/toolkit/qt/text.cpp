#include "app/toolkit/text.h"

#include "app/toolkit/qt/qt_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tk {

namespace {

// Qt names the Windows code page "CP932"; never "Shift_JIS", whose table
// maps 0x5C to the yen sign.
constexpr const char* kCodePage = "CP932";

}  // namespace

QString FromCp932(std::string_view bytes) {
  // The codec keeps a lead byte at the very end as a pending half and drops
  // it; a line feed after the text makes it a visible error instead, and is
  // then taken off again.
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  data.append('\n');
  QStringDecoder decoder(kCodePage, QStringConverter::Flag::Stateless);
  QString text = decoder(data);
  if (text.endsWith(u'\n')) text.chop(1);
  return text;
}

std::string ToCp932(const QString& text) {
  QStringEncoder encoder(kCodePage);
  QByteArray whole = encoder(text);
  if (!encoder.hasError()) return whole.toStdString();
  // The codec's own substitute (0xFC 0xFC) is not a character of the code
  // page; encode one code point at a time so each unmappable one becomes '?'.
  std::string out;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    QStringEncoder single(kCodePage);
    const QByteArray bytes = single(QStringView(text).mid(i, n));
    if (single.hasError() || bytes.isEmpty())
      out += '?';
    else
      out.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    i += n;
  }
  return out;
}

bool Cp932Available() {
  QStringDecoder decoder(kCodePage);
  QStringEncoder encoder(kCodePage);
  return decoder.isValid() && encoder.isValid();
}

std::string Cp932(std::string_view utf8) {
  return ToCp932(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

std::string Cp932(std::u8string_view utf8) {
  return Cp932(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::string Cp932FromSystem(std::string_view native) { return Cp932(native); }

std::string Utf8(std::string_view cp932) { return FromCp932(cp932).toStdString(); }

}  // namespace tk
