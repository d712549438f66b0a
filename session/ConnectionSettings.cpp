#include <kx4data/ConnectionSettings.h>

#include <kx4data/KXData.h>

#include "session/KXDataInternal.h"
#include "session/clsConnectionVariables.h"

namespace kx4 {

ConnectionSettings::ConnectionSettings() : settings_(std::make_unique<clsConnectionVariables>()) {}

ConnectionSettings::~ConnectionSettings() = default;

ConnectionSettings::ConnectionSettings(const ConnectionSettings& other)
    : settings_(std::make_unique<clsConnectionVariables>(*other.settings_)) {}

ConnectionSettings& ConnectionSettings::operator=(const ConnectionSettings& other) {
  *settings_ = *other.settings_;
  return *this;
}

ConnectionSettings ConnectionSettings::Of(const KXData& pinsData) {
  ConnectionSettings copy;
  if (const auto& current = KXDataInternal::ConnectionVariables(pinsData))
    *copy.settings_ = *current;
  return copy;
}

const std::string& ConnectionSettings::Server() const {
  return settings_->Server();
}
void ConnectionSettings::SetServer(const std::string& value) {
  settings_->SetServer(value);
}
const std::string& ConnectionSettings::Database() const {
  return settings_->Database();
}
void ConnectionSettings::SetDatabase(const std::string& value) {
  settings_->SetDatabase(value);
}
const std::string& ConnectionSettings::User() const {
  return settings_->User();
}
void ConnectionSettings::SetUser(const std::string& value) {
  settings_->SetUser(value);
}
void ConnectionSettings::SetPassword(const std::string& value) {
  settings_->SetPassword(value);
}
bool ConnectionSettings::HasPassword() const {
  return !settings_->Password().empty();
}
bool ConnectionSettings::NTAuthenticate() const {
  return settings_->NTAuthenticate();
}
void ConnectionSettings::SetNTAuthenticate(bool value) {
  settings_->SetNTAuthenticate(value);
}
bool ConnectionSettings::StorePassword() const {
  return settings_->StorePassword();
}
void ConnectionSettings::SetStorePassword(bool value) {
  settings_->SetStorePassword(value);
}
const std::string& ConnectionSettings::NetProvider() const {
  return settings_->NetProvider();
}
void ConnectionSettings::SetNetProvider(const std::string& value) {
  settings_->SetNetProvider(value);
}
int16_t ConnectionSettings::ConnectTimeout() const {
  return settings_->ConnectTimeout();
}
void ConnectionSettings::SetConnectTimeout(int16_t value) {
  settings_->SetConnectTimeout(value);
}
int16_t ConnectionSettings::QueryTimeout() const {
  return settings_->QueryTimeout();
}
void ConnectionSettings::SetQueryTimeout(int16_t value) {
  settings_->SetQueryTimeout(value);
}

std::string ConnectionSettings::BuildConnectionString() const {
  return settings_->BuildConnectionString();
}

std::string ConnectionSettings::PasswordToPrefill() const {
  return settings_->StorePassword() ? settings_->Password() : std::string();
}

void ConnectionSettings::Store(bool pblnAllUsers) const {
  settings_->Store(pblnAllUsers);
}

void ConnectionSettings::Load(bool pblnAllUsers) {
  settings_->Load(pblnAllUsers);
}

KXErrorPtr ConnectionSettings::AttemptConnection(KXData& pinsData) const {
  if (KXErrorPtr error = Connect(pinsData))
    return error;
  settings_->Store(pinsData.AllUsersOnly());
  return nullptr;
}

KXErrorPtr ConnectionSettings::Connect(KXData& pinsData) const {
  // The session gets a copy of its own: later changes to these settings do
  // not reach the settings it connects with.
  auto typed = std::make_shared<clsConnectionVariables>(*settings_);
  if (KXErrorPtr error = KXDataInternal::SetConnection(pinsData, typed))
    return error;
  KXDataInternal::SetConnectionVariables(pinsData, std::move(typed));
  return nullptr;
}

}  // namespace kx4
