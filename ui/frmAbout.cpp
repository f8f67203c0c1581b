#include "frmAbout.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "Announcer.h"
#include "AppIcons.h"
#include "AppInfo.h"
#include "ClickLabel.h"
#include "Dialogs.h"
#include "PictureLabel.h"
#include "Shape.h"
#include "Twips.h"
#include "WindowDialogs.h"

namespace {

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                 int width, int height, QLabel* label = nullptr) {
  if (!label) label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->move(Px(left), Px(top));
  if (width > 0) {
    label->resize(Px(width), Px(height));
  } else {  // fits its one line of text
    label->adjustSize();
    label->resize(label->width(), Px(height));
  }
  return label;
}

void Colour(QLabel* label, const QColor& colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

QLabel* AddPicture(QWidget* parent, const char* name, const QString& accessibleName,
                   const QPixmap& picture, int left, int top) {
  auto* label = new PictureLabel(parent, accessibleName, picture);
  label->setObjectName(name);
  label->setGeometry(Px(left), Px(top), Px(540), Px(540));
  return label;
}

const QString kBackupWarning = "Make backups of your worldsave before using this program!";

// The system's dialog font at 8 points. The layout was drawn for a dialog font as narrow as
// MS Sans Serif; a wider one is made smaller until the backup warning fits its line.
QFont DialogFont() {
  QFont font;
  font.setPointSizeF(8);
  while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(kBackupWarning) > Px(4215)) {
    font.setPointSizeF(font.pointSizeF() - 0.25);
  }
  return font;
}

}  // namespace

frmAbout::frmAbout(WindowDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
  setObjectName("frmAbout");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFont(DialogFont());
  setGeometry(Px(2340), Px(1935), Px(5955), Px(3885));  // the client area, on the screen
  setFixedSize(size());
  CreateControls();
  Form_Load();
}

void frmAbout::CreateControls() {
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("cmdOK");
  ok->setGeometry(TwipsRect(4440, 3360, 1260, 345));
  ok->setDefault(true);  // Enter; Escape closes the box as well
  connect(ok, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

  QLabel* icon = AddPicture(this, "picIcon", "Duskmend icon", AppIcon().pixmap(32, 32), 240, 240);
  AddLabel(this, "lblDescription",
           "This tool removes or changes all \"LOCAL LIGHT\" entries in your worldsave to "
           "prevent 1-step-night-to-day changes, call it like you want ;)=",
           1050, 1125, 3885, 690)
      ->setWordWrap(true);
  AddLabel(this, "lblTitle", QString(), 1050, 240, 3885, 480);
  AddLabel(this, "lblVersion", QString(), 1050, 780, 3885, 225);
  QLabel* sphere = AddPicture(this, "Picture1", "Sphere logo", SpherePixmap(), 5280, 240);

  const QColor blue(0, 0, 255);
  AddLabel(this, "Label1", QString("Contact: ") + app_info::kAuthor, 1080, 1920, 0, 195);
  AddLabel(this, "Label2", "EMail:", 1080, 2160, 0, 195);
  auto* mail = new ClickLabel(this);
  Colour(AddLabel(this, "Label3", app_info::kEmail, 1560, 2160, 0, 195, mail), blue);
  AddLabel(this, "Label4", QString("ICQ: ") + app_info::kIcq, 1080, 2400, 0, 195);
  AddLabel(this, "Label5", "Website:", 1080, 2640, 0, 195);
  auto* site1 = new ClickLabel(this);
  Colour(AddLabel(this, "Label6", app_info::kWebsite1, 1800, 2640, 0, 195, site1), blue);
  auto* site2 = new ClickLabel(this);
  Colour(AddLabel(this, "Label7", app_info::kWebsite2, 1800, 2880, 0, 195, site2), blue);
  Colour(AddLabel(this, "Label8", kBackupWarning, 120, 3480, 4215, 255), Qt::red);
  connect(mail, &ClickLabel::clicked, this, &frmAbout::Label3_Click);
  connect(site1, &ClickLabel::clicked, this, &frmAbout::Label6_Click);
  connect(site2, &ClickLabel::clicked, this, &frmAbout::Label7_Click);

  // An engraved rule from edge to edge: a grey line over a white one.
  new Shape(this, "Line1_1", QRect(Px(-105), Px(3165), Px(6495), 1), QColor(128, 128, 128),
            std::nullopt);
  new Shape(this, "Line1_0", QRect(Px(-105), Px(3180), Px(6495), 2), Qt::white, std::nullopt);

  announcer_ = new Announcer(this);
  QWidget::setTabOrder(ok, icon);
  QWidget::setTabOrder(icon, sphere);
  QWidget::setTabOrder(sphere, mail);
  QWidget::setTabOrder(mail, site1);
  QWidget::setTabOrder(site1, site2);
  ok->setFocus();
}

void frmAbout::Form_Load() {
  setWindowTitle(QString("About ") + app_info::kTitle);
  findChild<QLabel*>("lblVersion")
      ->setText(QString("Version %1.%2.%3")
                    .arg(app_info::kVersionMajor)
                    .arg(app_info::kVersionMinor)
                    .arg(app_info::kVersionRevision));
  findChild<QLabel*>("lblTitle")->setText(app_info::kTitle);
}

// A screen reader reads a box's longer lines as it opens, and passes the short ones by: the
// title, the version and the contact lines are said after them, once the box is active.
void frmAbout::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || !isActiveWindow() || announced_) return;
  announced_ = true;
  announcer_->Say(QString("%1 %2. EMail %3, ICQ %4, websites %5 and %6.")
                      .arg(app_info::kTitle, findChild<QLabel*>("lblVersion")->text(),
                           app_info::kEmail, app_info::kIcq, app_info::kWebsite1,
                           app_info::kWebsite2));
}

void frmAbout::cmdOK_Click() { close(); }
void frmAbout::Label3_Click() { StartLink(QUrl(QString("mailto:") + app_info::kEmail)); }
void frmAbout::Label6_Click() { StartLink(QUrl(app_info::kWebsite1)); }
void frmAbout::Label7_Click() { StartLink(QUrl(app_info::kWebsite2)); }

void frmAbout::StartLink(const QUrl& target) {
  if (dialogs_.OpenUrl(target)) return;
  dialogs_.ShowMessage(this, "Cannot open " + target.toString() + ".", duskmend::kStyleCritical,
                       QString::fromStdString(duskmend::kMessageTitle));
}
