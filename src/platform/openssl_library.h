#pragma once
// OpenSSL's functions as the store calls them, bound when TLS is first
// used rather than linked: libssl and libcrypto are large, and loading them
// with every process of the store (a delivery, a status query) made a
// good part of its start. Only OpenSSL's headers are used at build time.

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace qx::platform {

// Every function of OpenSSL the platform layer calls, by its own name.
#define QX_OPENSSL_FUNCTIONS(X)                                                                    \
  X(BIO_clear_flags) X(BIO_get_data) X(BIO_get_new_index) X(BIO_meth_new) X(BIO_meth_set_create)    \
  X(BIO_meth_set_ctrl) X(BIO_meth_set_read) X(BIO_meth_set_write) X(BIO_new) X(BIO_set_data)      \
  X(BIO_set_init) X(ERR_clear_error) X(ERR_error_string_n) X(ERR_get_error) X(SSL_CTX_check_private_key) \
  X(SSL_CTX_ctrl) X(SSL_CTX_free) X(SSL_CTX_get_cert_store) X(SSL_CTX_load_verify_locations)       \
  X(SSL_CTX_new) X(SSL_CTX_set_default_verify_paths) X(SSL_CTX_set_options) X(SSL_CTX_set_verify)  \
  X(SSL_CTX_use_PrivateKey_file) X(SSL_CTX_use_certificate_chain_file) X(SSL_accept)               \
  X(SSL_connect) X(SSL_ctrl) X(SSL_free) X(SSL_get0_param) X(SSL_get_error)                        \
  X(SSL_get_verify_result) X(SSL_new) X(SSL_pending) X(SSL_read) X(SSL_set1_host) X(SSL_set_bio)   \
  X(SSL_shutdown) X(SSL_write) X(TLS_client_method) X(TLS_server_method)                           \
  X(X509_STORE_load_file) X(X509_VERIFY_PARAM_set1_ip_asc) X(X509_verify_cert_error_string)

struct OpenSsl {
#define QX_OPENSSL_MEMBER(name) decltype(&::name) name = nullptr;
  QX_OPENSSL_FUNCTIONS(QX_OPENSSL_MEMBER)
#undef QX_OPENSSL_MEMBER
};

// The functions, loaded on the first call; null when libssl cannot be
// loaded or lacks one of them.
const OpenSsl* LoadOpenSsl();

}  // namespace qx::platform
