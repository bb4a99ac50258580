// A name typed into tvn's main window and searched with the main button, as
// the window tests do it: the texts of the result list that follow.
#pragma once

#include <QStringList>

#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"

inline QStringList searchAndList(tvn::frmMain& form, const QString& typed) {
    form.resultListFlag = false;
    form.ImageCombo1->setEditText(typed);
    form.cmdRC_Click();
    QStringList texts;
    for (int i = 0; i < form.lstMultiple->count(); ++i) texts << form.lstMultiple->textAt(i);
    return texts;
}
