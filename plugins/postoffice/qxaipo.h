/*
 * libqxaipo.so: the server's postoffice configuration provider (QXAIPO.DLL
 * in the server's own naming). The store library loads it from the
 * "Application Directory" setting with "64" appended to add up the size of
 * a postoffice, mailbox by mailbox.
 *
 * Mailboxes are the directories in the postoffice's "MAILROOT" directory
 * (the postoffice directory as the store resolves it, custom postoffice
 * roots included), in the order of a directory listing: by name without
 * regard to case. Names that begin with '_' and names longer than 63
 * characters are not mailboxes.
 *
 * Quota limits: a mailbox's limit in KB is the decimal number in the file
 * "_QUOTA.TXT" in its mailbox directory, e.g. "<mail root>/MAIN/MAILROOT/
 * alice/_QUOTA.TXT" holding "20480" for 20 MB. A mailbox without that file,
 * or whose file does not start with a number above 0, has no limit (quota
 * 0). The leading '_' keeps the file out of the mailbox's size. Every
 * mailbox listed is enabled.
 */
#ifndef QXAIPO_H
#define QXAIPO_H

#include "qxstore.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Lists the mailboxes of the postoffice named in mailbox->postoffice and
 * places the first in the record: its name, enabled 1 and its quota limit;
 * the provider data is left as the caller prepared it. 1 when a mailbox was
 * placed; 0 when the postoffice has none, cannot be listed, or the record
 * is null. The listing is kept per thread until the next MailboxFindFirst. */
int MailboxFindFirst(MAILBOXSIZE* mailbox);

/* Places the next mailbox of the calling thread's listing, when the record
 * names the same postoffice (without regard to case). 1 when placed; 0 at
 * the end, without a listing, or for another postoffice. */
int MailboxFindNext(MAILBOXSIZE* mailbox);

#ifdef __cplusplus
}
#endif

#endif /* QXAIPO_H */
