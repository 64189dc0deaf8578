// The window layouts load from their templates with every control at its place.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "gui_qt/TemplateWidgets.h"
#include "ui/DialogTemplate.h"
#include "ui/MenuTemplate.h"
#include "ui/ResourceStrings.h"

class TemplatesTest : public QObject {
    Q_OBJECT
  private slots:
    void everyTemplateBuilds_data() {
        QTest::addColumn<int>("templateId");
        for (int id : {100, 102, 129, 130, 135, 136}) {
            QTest::addRow("%d", id) << id;
        }
    }
    void everyTemplateBuilds() {
        QFETCH(int, templateId);
        const DialogTemplate dialogTemplate = DialogTemplate::Load(templateId);
        QCOMPARE(dialogTemplate.id, templateId);
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(dialogTemplate, &host);
        QCOMPARE(host.size(), CTemplateWidgets::PixelSize(dialogTemplate));
        for (const ControlTemplate& control : dialogTemplate.controls) {
            if (control.id == -1) {
                continue;
            }
            QWidget* widget = widgets.Control(control.id);
            QVERIFY2(widget != nullptr, qPrintable(QString::number(control.id)));
            QCOMPARE(widget->objectName(), QStringLiteral("control_%1").arg(control.id));
            QCOMPARE(widget->isHidden(), control.Has("hidden"));
            QCOMPARE(widget->isEnabled(), !control.Has("disabled"));
            QCOMPARE(widget->pos(),
                     CTemplateWidgets::PixelRect(dialogTemplate, control.rect).topLeft());
        }
    }

    void mainWindowButtonsCarryTheirTexts() {
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(DialogTemplate::Load(102), &host);
        QCOMPARE(widgets.ControlAs<QPushButton>(1050)->text(),
                 QStringLiteral("Make Tillstream Data"));
        QVERIFY(!widgets.ControlAs<QPushButton>(1050)->isEnabled());
        QVERIFY(!widgets.ControlAs<QPushButton>(1021)->isEnabled());
        QVERIFY(widgets.ControlAs<QLineEdit>(1019)->isReadOnly());
        QVERIFY(widgets.ControlAs<QPushButton>(1028)->isHidden());
    }

    void dialogUnitsFollowTheBaseUnits() {
        CDialogUnits units(QFont(QStringLiteral("Sans"), 8));
        QVERIFY(units.BaseX() > 0 && units.BaseY() > 0);
        QCOMPARE(units.X(4), units.BaseX());
        QCOMPARE(units.Y(8), units.BaseY());
        // Adjacent rectangles stay adjacent after conversion.
        const QRect left = units.ToPixels(QRect(13, 40, 53, 14));
        const QRect right = units.ToPixels(QRect(66, 40, 53, 14));
        QCOMPARE(left.right() + 1, right.left());
    }

    void comboBoxesGetFieldHeightNotListHeight() {
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(DialogTemplate::Load(136), &host);
        auto* ports = widgets.ControlAs<QComboBox>(1016);
        QVERIFY(ports != nullptr);
        QVERIFY(!ports->isEditable());
        QVERIFY(ports->height() <= widgets.Units().Y(13));
        QVERIFY(DialogTemplate::Load(130).Control(1035)->Has("dropdown"));
    }

    void stringTableAndTrayMenu() {
        QCOMPARE(LoadResourceString(IDS_MAKE_TILLSTREAM_DATA), std::string("Make Tillstream Data"));
        QCOMPARE(LoadResourceString(IDS_RESTORE_FAIL), std::string("Fail, Restore data."));
        QVERIFY(LoadResourceString(999).empty());
        // The window's table and the texts the command line prints never drift apart.
        for (int id = IDS_MAKE_TILLSTREAM_DATA; id <= IDS_FAIL_RESTORE_DATA; ++id) {
            QCOMPARE(LoadResourceString(id), std::string(ConversionText(id)));
        }
        const MenuTemplate menu = MenuTemplate::Load(132);
        QCOMPARE(menu.items.size(), std::size_t(9));
        QCOMPARE(menu.items.front().id, 32773);
        QCOMPARE(menu.items.front().text, std::string("Tillstream Open(&O)"));
        QVERIFY(menu.items.at(1).separator);
        QCOMPARE(menu.items.back().id, 32774);
    }
};

QTEST_MAIN(TemplatesTest)
#include "tst_templates.moc"
