#include "update/PrepareUpdate.h"

#include "update/ImageFile.h"

namespace lanscope {

Result<PreparedUpdate, LoadFailure> PrepareUpdate(
    const UpdateRunSettings& settings,
    const std::function<std::string(const std::string&)>& nativePath) {
    const auto native = [&](const std::string& name) {
        return nativePath ? nativePath(name) : name;
    };
    auto loaded = LoadSRecordImage(native(settings.imageFile), settings.loadMessages);
    if (!loaded) {
        return loaded.error();
    }
    PreparedUpdate prepared{std::move(loaded).value(), false};
    if (settings.saveToFile) {
        if (auto saved =
                SaveImageFile(native(settings.saveFile), prepared.image, settings.description);
            !saved) {
            return LoadFailure{{saved.error().text}};
        }
        prepared.saved = true;
    }
    return prepared;
}

}  // namespace lanscope
