/*
 * libqxainfy.so: the server's notifier (QXAINFY.DLL in the server's own
 * naming). The store library loads it by plain name when it starts and
 * calls NotifyRemote to tell the server process that holds a client
 * connection that a folder of the client's mailbox changed. Without it the
 * store runs as before and notifies nobody.
 *
 * Where a server's service listens is read from the registry (the .reg file
 * named by QXSTORE_REGISTRY) on every call:
 *
 *   [HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Tal Mera\Tal Mera\Notify]
 *   "Connect Timeout"=dword:000007d0      ; milliseconds (default 2000)
 *   "IMAP Port"=dword:00000f8f            ; this protocol's port on every server
 *
 *   [HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Tal Mera\Tal Mera\Notify\Servers\MAIL2]
 *   "Address"="mail2.example.net"         ; default: the server name itself
 *   "IMAP Port"=dword:00000f90            ; this protocol's port on MAIL2 only
 *
 * The port of a protocol P is "P Port" under the server's key, else under
 * the Notify key, else the protocol's well-known port: IMAP 143, POP3 and
 * POP 110, SMTP 25, HTTP 80, HTTPS 443, LDAP 389, NNTP 119. Protocol and
 * server names compare without regard to case.
 */
#ifndef QXAINFY_H
#define QXAINFY_H

#ifdef __cplusplus
extern "C" {
#endif

#define QXAINFY_SENT 0
#define QXAINFY_BAD_ARGUMENT 1   /* a null or empty argument, or a server name with '\' */
#define QXAINFY_NO_PORT 2        /* no port configured or known for the protocol */
#define QXAINFY_NO_ADDRESS 3     /* the server's address does not resolve */
#define QXAINFY_UNREACHABLE 4    /* the connection was refused or timed out */
#define QXAINFY_SEND_FAILED 5    /* the connection broke before the whole message went */

/* Connects over TCP to the service of `protocol` on `server`, sends the
 * whole of `message` (a NUL-terminated text, sent without its NUL) and
 * closes the connection. Returns QXAINFY_SENT (0) only when every byte was
 * handed to the connection; any other result is nonzero and the store then
 * drops the client's activity entry as an orphan. Safe to call from several
 * threads at once. */
int NotifyRemote(const char* server, const char* protocol, const char* message);

#ifdef __cplusplus
}
#endif

#endif /* QXAINFY_H */
