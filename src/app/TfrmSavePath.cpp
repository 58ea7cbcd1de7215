#include "app/TfrmSavePath.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/ini.h"
#include "ui/widgets.h"
#include "ui/window_behaviour.h"

namespace tavo::ui {

TfrmSavePath::TfrmSavePath(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
  InitToolWindow(this, "保存先選択", 317, 159);

  BitBtn1 = MakeButton(this, "BitBtn1", "閉じる(&C)", QRect(205, 8, 100, 30));

  RadioGroup1 = new QGroupBox(this);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  RadioGroup1->setGeometry(12, 44, 293, 44);
  items_ = new QButtonGroup(this);
  const char* captions[] = {"ダウンロードフォルダ", "保存先指定"};
  for (int i = 0; i < 2; ++i) {
    auto* item = new QRadioButton(Q(captions[i]), RadioGroup1);
    item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
    item->setGeometry(8 + i * 160, 10, i == 0 ? 156 : 120, 26);  // two columns
    items_->addButton(item, i);
  }

  Edit1 = MakeEdit(this, "Edit1", QRect(12, 122, 293, 26));
  Edit1->setReadOnly(true);
  Button1 = MakeButton(this, "Button1", "保存先選択", QRect(12, 92, 120, 28));

  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  // Only the user's own click: InitSet selects an item without writing anything.
  connect(items_, &QButtonGroup::idClicked, this, &TfrmSavePath::RadioGroup1Click);
  connect(Button1, &QPushButton::clicked, this, &TfrmSavePath::Button1Click);

  items_->button(0)->setChecked(true);
  FinishWindow(this, items_->button(0));
  InitSet();
}

int TfrmSavePath::ItemIndex() const { return items_->checkedId(); }

void TfrmSavePath::InitSet() {
  Edit1->clear();
  Button1->hide();
  Edit1->hide();
  const Text saveFdr = IFReadIniStr(ctx_.env.programDir, u"PARAM", u"SAVEFDR", u"");
  if (!IsBlank(saveFdr)) {
    items_->button(1)->setChecked(true);
    Button1->show();
    Edit1->show();
    Edit1->setText(Q(saveFdr));
  }
}

bool TfrmSavePath::DspSet() {
  InitSet();
  ctx_.dialogs.ShowModal(this);
  return true;
}

void TfrmSavePath::RadioGroup1Click() {
  Button1->hide();
  Edit1->hide();
  if (ItemIndex() == 1) {
    Button1->show();
    Edit1->show();
  } else {
    // The box shows only what the setting holds: choosing 保存先指定 again then
    // asks for the folder instead of showing one that is no longer in use.
    Edit1->clear();
    IFWriteIniStr(ctx_.env.programDir, u"PARAM", u"SAVEFDR", u"");
  }
}

void TfrmSavePath::Button1Click() {
  const Text saveFdr = IFReadIniStr(ctx_.env.programDir, u"PARAM", u"SAVEFDR", u"");
  const QString folder = SelectFolderFor(
      ctx_, this, Edit1, Q("保存先フォルダを指定してＯＫをクリックしてください"), Q(saveFdr));
  if (folder.isEmpty()) return;
  Edit1->setText(folder);
  IFWriteIniStr(ctx_.env.programDir, u"PARAM", u"SAVEFDR", FromQ(folder));
}

}  // namespace tavo::ui
