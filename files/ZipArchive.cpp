#include "files/ZipArchive.h"

#include <zip.h>

#include <memory>

namespace quorlin::files {

bool looksLikeZip(std::string_view bytes)
{
    // A local file header first, or the end record of an archive with nothing in it.
    return bytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
           bytes.starts_with(std::string_view("PK\x05\x06", 4));
}

ZipArchive::ZipArchive(std::string_view bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    // libzip reads the caller's bytes where they are; the archive never outlives them.
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source != nullptr) {
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (m_zip == nullptr)
            zip_source_free(source);
    }
    if (m_zip == nullptr)
        m_error = std::string("is a damaged zip archive (") + zip_error_strerror(&error) + ")";
    zip_error_fini(&error);
}

ZipArchive::~ZipArchive()
{
    if (m_zip != nullptr)
        zip_discard(m_zip);
}

std::vector<std::string> ZipArchive::names() const
{
    std::vector<std::string> out;
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), 0))
            out.emplace_back(name);
    }
    return out;
}

bool ZipArchive::has(const std::string& name) const
{
    return zip_name_locate(m_zip, name.c_str(), 0) >= 0;
}

ZipMember ZipArchive::read(const std::string& name, std::size_t largest) const
{
    ZipMember member;
    const zip_int64_t index = zip_name_locate(m_zip, name.c_str(), 0);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index < 0 || zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &stat) != 0) {
        member.error = "has no member " + name;
        return member;
    }
    const std::string mb = std::to_string(largest / (1024 * 1024)) + " MB";
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
        member.error = "is encrypted (" + name + "), which Quorlin cannot open";
        return member;
    }
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > largest) {
        member.error = "unpacks " + name + " to more than " + mb + ", more than Quorlin reads";
        return member;
    }
    const auto close = [](zip_file_t* f) { zip_fclose(f); };
    const std::unique_ptr<zip_file_t, decltype(close)> file(
        zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0), close);
    if (!file) {
        member.error = "cannot unpack " + name + " (" + zip_strerror(m_zip) + ")";
        return member;
    }
    if (stat.valid & ZIP_STAT_SIZE)
        member.bytes.reserve(static_cast<std::size_t>(stat.size));
    // The declared size may lie: what inflating gives is counted too, a piece at a time.
    char piece[64 * 1024];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), piece, sizeof piece);
        if (n < 0) {
            member.bytes.clear();
            member.error = "cannot unpack " + name + " (" + zip_file_strerror(file.get()) + ")";
            return member;
        }
        if (n == 0)
            break;
        if (member.bytes.size() + static_cast<std::size_t>(n) > largest) {
            member.bytes.clear();
            member.bytes.shrink_to_fit();
            member.error = "unpacks " + name + " to more than " + mb + ", more than Quorlin reads";
            return member;
        }
        member.bytes.append(piece, static_cast<std::size_t>(n));
    }
    return member;
}

} // namespace quorlin::files
