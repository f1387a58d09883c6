#include "widgets/QtFileChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "widgets/EightBitText.h"

namespace lanscope {

namespace {

QWidget* Owner() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

// The chosen file's path, or nothing when the user cancelled.
std::optional<std::string> Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return ToEightBit(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

QString Folder(const std::string& path) {
    return path.empty() ? QString() : QFileInfo(FromEightBit(path)).absolutePath();
}

}  // namespace

std::optional<std::string> QtFileChooser::chooseImageFile(const std::string& initialPath) {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly);
#ifdef Q_OS_WIN
    // Windows matches names in any case, and its own dialog knows no [].
    dialog.setNameFilter(QStringLiteral("Application Files (*_APP.s19)"));
#else
    // Letters in both cases: file names are matched exactly here, and these
    // files come from Windows machines in any case. The user sees the plain
    // pattern: the dialog shows the text before the last parentheses.
    dialog.setNameFilter(QStringLiteral("Application Files (*_APP.s19) (*_[Aa][Pp][Pp].[Ss]19)"));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
#endif
    dialog.setDirectory(Folder(initialPath));
    return Run(dialog);
}

std::optional<std::string> QtFileChooser::chooseSaveFile(const std::string& initialPath,
                                                         const std::string& proposedName) {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("bin"));
    dialog.setNameFilter(QStringLiteral("Binary files (*.bin)"));
    dialog.setDirectory(Folder(initialPath));
    dialog.selectFile(FromEightBit(proposedName));
    return Run(dialog);
}

std::optional<std::string> QtFileChooser::choosePresetFile() {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("prs"));
    dialog.setNameFilter(QStringLiteral("Preset Files (*.prs)"));
    return Run(dialog);
}

std::optional<std::string> QtFileChooser::chooseListFile() {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {QStringLiteral("CSV files (*.csv)"), QStringLiteral("JSON files (*.json)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) {
                         dialog.setDefaultSuffix(filter.contains(QStringLiteral("json"))
                                                     ? QStringLiteral("json")
                                                     : QStringLiteral("csv"));
                     });
    return Run(dialog);
}

}  // namespace lanscope
