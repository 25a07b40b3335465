#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Reads fixed-size fields off the front of a fuzz input; a short input reads as zeros.
class FuzzInput final {
public:
    FuzzInput(const unsigned char *data, size_t size) : m_data(data), m_size(size) {}

    template <typename T> T take() {
        T value{};
        const size_t n = m_pos < m_size ? std::min(sizeof(T), m_size - m_pos) : 0;
        if (n > 0) {
            std::memcpy(&value, m_data + m_pos, n);
        }
        m_pos += sizeof(T);
        return value;
    }

    // What is left, as UTF-8 text.
    QByteArray rest() const {
        const size_t at = std::min(m_pos, m_size);
        return QByteArray(reinterpret_cast<const char *>(m_data + at), static_cast<qsizetype>(m_size - at));
    }

private:
    const unsigned char *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The shop's locale and two others with other separators and field orders, made the default
// only when the choice changes (setDefault is not free).
inline void useLocale(unsigned char choice) {
    static const QLocale locales[] = {QLocale(QLocale::Spanish, QLocale::Argentina),
                                      QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany)};
    static int current = -1;
    const int index = choice % 3;
    if (index != current) {
        QLocale::setDefault(locales[index]);
        current = index;
    }
}
