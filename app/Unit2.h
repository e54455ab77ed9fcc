#pragma once

// The About box: program icon, product name, version, author, the author's web address
// as a link, and OK.

#include "toolkit/Form.h"
#include "toolkit/StdCtrls.h"

#include <QString>
#include <QUrl>

#include <functional>

namespace lanfan {

class TAboutBox : public TForm {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* owner = nullptr);

    TPanel* Panel1 = nullptr;
    TButton* OKButton = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Copyright = nullptr;
    TLabel* Version = nullptr;
    TLabel* ProductName = nullptr;
    TImage* ProgramIcon = nullptr;
    TImage* Image1 = nullptr;

    void Label1MouseDown(TControl* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    // The address the link opens, and the opener (the desktop's; tests replace it).
    static QUrl authorPage();
    using UrlOpener = std::function<bool(const QUrl&)>;
    static void setUrlOpener(UrlOpener opener);

protected:
    void beforeFirstShow() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadLayout();
    void fitToTexts();
};

extern TAboutBox* AboutBox;

} // namespace lanfan
