#include "presets/PresetsModule.h"

#include <QtGlobal>
#include <type_traits>

#include "presets/PresetsConfigDlg.h"

extern "C" Q_DECL_EXPORT void lanscope_open_presets(const lanscope::PresetsOpening& opening) {
    lanscope::CPresetsConfigDlg presets(opening.line, opening.prompt, opening.settings,
                                        opening.files, opening.credentials, opening.owner);
    presets.exec();
}

static_assert(std::is_same_v<decltype(&lanscope_open_presets), lanscope::OpenPresetsFunction>);
