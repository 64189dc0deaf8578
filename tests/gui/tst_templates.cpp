// The Qt builder makes every template's controls at their place, with their IDs and states.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui_qt/IpAddressCtrl.h"
#include "gui_qt/LineListView.h"
#include "gui_qt/TemplateWidgets.h"
#include "ui/DialogTemplate.h"

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
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(dialogTemplate, &host);
        QCOMPARE(host.size(), CTemplateWidgets::PixelSize(dialogTemplate));
        QCOMPARE(host.windowTitle(), QString::fromStdString(dialogTemplate.caption));
        for (const ControlTemplate& control : dialogTemplate.controls) {
            if (control.id == -1) {
                continue;
            }
            QWidget* widget = widgets.Control(control.id);
            QVERIFY2(widget != nullptr, qPrintable(QString::number(control.id)));
            QCOMPARE(widget->objectName(), QStringLiteral("control_%1").arg(control.id));
            QCOMPARE(CTemplateWidgets::ControlIdOf(widget), control.id);
            QCOMPARE(widget->isHidden(), control.Has("hidden"));
            QCOMPARE(widget->isEnabled(), !control.Has("disabled"));
            QCOMPARE(widget->pos(),
                     CTemplateWidgets::PixelRect(dialogTemplate, control.rect).topLeft());
        }
    }

    void controlsAreOfTheirKind() {
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(DialogTemplate::Load(102), &host);
        QCOMPARE(widgets.ControlAs<QPushButton>(1050)->text(),
                 QStringLiteral("Make Tillstream Data"));
        QVERIFY(!widgets.ControlAs<QPushButton>(1050)->isDefault());
        QVERIFY(widgets.ControlAs<QLineEdit>(1019)->isReadOnly());
        QVERIFY(widgets.ControlAs<CLineListView>(1006) != nullptr);  // ownerdata
        // The tab stops in template order, from the file name field on.
        QCOMPARE(widgets.TabStops().first(), widgets.Control(1019));
        QCOMPARE(widgets.TabStops().at(1), widgets.Control(1001));

        QWidget page;
        CTemplateWidgets pageWidgets;
        pageWidgets.Build(DialogTemplate::Load(135), &page);
        auto* address = pageWidgets.ControlAs<CIpAddressCtrl>(1047);
        QVERIFY(address != nullptr);
        // A field inside the address control counts as the control.
        QCOMPARE(CTemplateWidgets::ControlIdOf(address->Field(2)), 1047);
        QVERIFY(pageWidgets.ControlAs<QPushButton>(1)->isDefault());
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
        QWidget input;
        CTemplateWidgets inputWidgets;
        inputWidgets.Build(DialogTemplate::Load(130), &input);
        QVERIFY(inputWidgets.ControlAs<QComboBox>(1035)->isEditable());
    }
};

QTEST_MAIN(TemplatesTest)
#include "tst_templates.moc"
