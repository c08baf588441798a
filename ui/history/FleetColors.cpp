#include "ui/history/FleetColors.h"

#include "history/FleetModel.h"

#include <QBrush>

QVariant FleetColors::data(const QModelIndex& index, int role) const
{
    if (role == Qt::ForegroundRole &&
        QIdentityProxyModel::data(index, FleetModel::DueRole).toBool())
        return QBrush(Qt::red);
    return QIdentityProxyModel::data(index, role);
}
