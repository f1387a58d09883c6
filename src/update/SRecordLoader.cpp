#include "update/SRecordLoader.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/Text.h"
#include "update/Messages.h"

namespace lanscope {

namespace {

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

Result<UpdateImage, LoadFailure> LoadSRecordImage(const std::string& fileName,
                                                  LoadMessages detail) {
    const bool detailed = detail == LoadMessages::Detailed;
    const auto cannotRead = [&](int error) {
        std::string text = messages::kFailedToOpen;
        if (detailed) {
            text += "\n" + fileName + ": " + std::generic_category().message(error);
        }
        return LoadFailure{{std::move(text)}};
    };
    errno = 0;
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        return cannotRead(errno);
    }
    ByteBuffer text;
    bool readOk = true;
    std::error_code error;
    const auto size = std::filesystem::file_size(FileSystemPath(fileName), error);
    if (!error) {
        text.resize(static_cast<std::size_t>(size) + 1);
        const std::size_t got = std::fread(text.data(), 1, static_cast<std::size_t>(size), file);
        readOk = got == size || std::feof(file);
        text.resize(got + 1);
    } else {
        // Not a regular file (a pipe, say): read what it gives.
        std::uint8_t chunk[65536];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            text.insert(text.end(), chunk, chunk + got);
        }
        readOk = !std::ferror(file);
        text.push_back(0);
    }
    const int readError = errno;
    std::fclose(file);
    if (!readOk) {
        return cannotRead(readError != 0 ? readError : EIO);
    }
    text.back() = 0;

    auto result = DecodeSRecordImage(std::move(text));
    if (!result && detailed && result.error().line != 0) {
        LoadFailure failure = result.error();
        failure.messages.front() = WithoutLineEnd(failure.messages.front()) + " (line " +
                                   std::to_string(failure.line) + ")";
        return failure;
    }
    return result;
}

void ShowLoadFailure(const LoadFailure& failure, Prompt& prompt, const std::string& caption) {
    for (const std::string& message : failure.messages) {
        prompt.message(message, caption, PromptIcon::Exclamation);
    }
}

}  // namespace lanscope
