#pragma once
// Comma- and line-delimited fields of a byte text, as sequential text input
// reads them: used where a decrypted file or a hex file is read field by field.
#include <cstddef>
#include <string>
#include <string_view>

namespace quelvane {

class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : text(bytes) {}

    // True once everything up to the end has been consumed.
    bool AtEnd() const noexcept;
    // The next field; never fails, whatever the bytes.
    std::string ReadNextField();

private:
    std::string_view text;
    std::size_t pos = 0;
};

}  // namespace quelvane
