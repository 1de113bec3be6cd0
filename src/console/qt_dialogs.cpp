// Message boxes and file dialogs of the console through Qt.
#include "console/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include "common/qt/modal_owner.h"

namespace kestrom {

namespace {

// "Setup files (*.setup)|*.setup|All files (*.*)|*.*" becomes Qt's "Setup files (*.setup);;All files (*.*)".
QString qtFilter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        if (!name.contains('(')) name += " (" + parts[i + 1].replace(';', ' ') + ")";
        out << name;
    }
    return out.join(";;");
}

QMessageBox::Icon qtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information: return QMessageBox::Information;
        case BoxIcon::Warning: return QMessageBox::Warning;
        case BoxIcon::Error: return QMessageBox::Critical;
        case BoxIcon::Question: return QMessageBox::Question;
        case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The filter the request names by its index, counted from 1; the first when there is no such one.
QString chosenFilter(const FileDialogRequest& request) {
    const QStringList filters = qtFilter(request.filter).split(";;");
    const int i = request.filterIndex - 1;
    return i >= 0 && i < filters.size() ? filters[i] : filters.value(0);
}

// The file chosen in an open or save dialog, or nothing.
std::optional<std::string> runFileDialog(QWidget* parent, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode acceptMode) {
    QFileDialog dialog(parent, QString::fromStdString(request.title), QString::fromStdString(request.initialDirectory),
                       qtFilter(request.filter));
    dialog.setAcceptMode(acceptMode);
    dialog.selectNameFilter(chosenFilter(request));
    if (acceptMode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
        if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
    }
    // Closed because the window that asked has closed: as if cancelled.
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace

BoxAnswer QtDialogs::messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                                BoxIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    box.setIcon(qtIcon(icon));
    switch (buttons) {
        case BoxButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case BoxButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case BoxButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case BoxButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    // Closed because the window that asked has closed: the answer that changes nothing.
    const std::optional<int> answer = runModal(box);
    if (!answer) return quietAnswer(buttons);
    switch (*answer) {
        case QMessageBox::Yes: return BoxAnswer::Yes;
        case QMessageBox::No: return BoxAnswer::No;
        case QMessageBox::Cancel: return BoxAnswer::Cancel;
        default: return BoxAnswer::Ok;
    }
}

void QtDialogs::showLater(const std::string& caption, const std::string& text, BoxIcon icon) {
    if (boxesShownLater_ >= kMaxBoxesShownLater) return;
    auto* box = new QMessageBox(qtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                                QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    ++boxesShownLater_;
    QObject::connect(box, &QObject::destroyed, [this] { --boxesShownLater_; });
    box->show();
}

void QtDialogs::closeOpenDialogs() {
    // Each one's own event loop ends when control returns to it.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
}

std::optional<std::string> QtDialogs::openFile(const FileDialogRequest& request) {
    return runFileDialog(parent_, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDialogs::saveFile(const FileDialogRequest& request) {
    return runFileDialog(parent_, request, QFileDialog::AcceptSave);
}

}  // namespace kestrom
