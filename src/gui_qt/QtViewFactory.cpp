#include "gui_qt/QtViewFactory.h"

#include "gui_qt/QtDialogView.h"
#include "gui_qt/QtTrayView.h"

std::unique_ptr<CDialogView> CQtViewFactory::CreateDialogView(const DialogTemplate& dialogTemplate,
                                                              CDialogView* pOwner,
                                                              CViewEvents& events) {
    return std::make_unique<CQtDialogView>(dialogTemplate, dynamic_cast<CQtDialogView*>(pOwner),
                                           events);
}

std::unique_ptr<CDialogView> CQtViewFactory::CreatePageView(const DialogTemplate& pageTemplate,
                                                            CDialogView& parent,
                                                            int nInsertAfterId) {
    return std::make_unique<CQtDialogView>(pageTemplate, dynamic_cast<CQtDialogView&>(parent),
                                           nInsertAfterId);
}

std::unique_ptr<CTrayView> CQtViewFactory::CreateTrayView(CDialogView& owner) {
    return std::make_unique<CQtTrayView>(dynamic_cast<CQtDialogView&>(owner));
}
