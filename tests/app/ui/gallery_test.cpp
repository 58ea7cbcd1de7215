// Pictures of every window of the application shell, under <build>/gallery.
#include <QFileInfo>

#include "app/TfrmMain.h"
#include "ui/TfrmMsg.h"
#include "app/TfrmOption.h"
#include "app/TfrmSavePath.h"
#include "app/TfrmSyosai.h"
#include "app_fixture.h"
#include "gui_support/gallery.h"

namespace tavo::test {
namespace {

class GalleryTest : public AppTest {
 protected:
  void Save(QWidget* w, const char* name) {
    const QString file = SaveGallery(w, U(name));
    EXPECT_GT(QFileInfo(file).size(), 0) << name;
  }
};

TEST_F(GalleryTest, ApplicationShellWindows) {
  {
    ui::TfrmMain w(ctx);
    Find<QLineEdit>(&w, "Edit1")->setText(U("C:\\レセ電\\社保\\RECEIPTC.UKE"));
    Find<QLineEdit>(&w, "Edit2")->setText(U("C:\\レセ電\\国保\\RECEIPTC.UKE"));
    Save(&w, "TfrmMain_mode0");
  }
  SetIni("CB1", "1");
  {
    ui::TfrmMain w(ctx);
    Find<QLineEdit>(&w, "Edit4")->setText("1");
    Find<QLineEdit>(&w, "Edit5")->setText("6");
    Save(&w, "TfrmMain_mode1");
  }
  dialogs.modalHandlers.push_back([&](QDialog* d) { Save(d, "TfrmMsg_download"); });
  ui::TfrmMsg(ctx).DspSet(U("社保と国保の枝番除去ファイルが作成されました"), "", "");
  {
    ui::TfrmSavePath w(ctx);
    Save(&w, "TfrmSavePath_downloads");
  }
  SetIni("SAVEFDR", "C:\\Users\\clinic\\Documents\\レセ電");
  dialogs.modalHandlers.push_back([&](QDialog* d) { Save(d, "TfrmMsg_save"); });
  ui::TfrmMsg(ctx).DspSet(U("社保と国保の匿名化ファイルが作成されました"), "", "");
  {
    ui::TfrmSavePath w(ctx);
    Save(&w, "TfrmSavePath");
  }
  {
    ui::TfrmSyosai w(ctx);
    Save(&w, "TfrmSyosai");
  }
  {
    ui::TfrmOption w(ctx);
    Save(&w, "TfrmOption");
  }
}

}  // namespace
}  // namespace tavo::test
