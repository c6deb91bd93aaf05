#include "swferror.h"

SwfError::SwfError(const QString &message) : m_message(message), m_what(message.toUtf8())
{
}
