/*
 * libqxaiso.so: the server's option provider (QXAISO.DLL in the server's
 * own naming). The store library loads it from the "Application Directory"
 * setting with "64" appended and asks it for per-postoffice options such as
 * "PostofficeRoot".
 *
 * Options live in an INI-style text file that the administrator edits: the
 * file named by the environment variable QXSTORE_OPTIONS, or else
 * "options.ini" in the directory this library was loaded from. Example:
 *
 *   ; comments start with ';' or '#'
 *   [Postoffice MAIN]
 *   PostofficeRoot=/srv/mail/main
 *
 * Section words, postoffice names and option names compare without regard
 * to case; values are the text after the first '=', without surrounding
 * blanks. Only scope 1 (postoffice, with the postoffice as `name`) is kept;
 * every other scope answers 0. The file is read on every call, so edits take
 * effect at once.
 */
#ifndef QXAISO_H
#define QXAISO_H

#ifdef __cplusplus
extern "C" {
#endif

#define QXAISO_SCOPE_POSTOFFICE 1
#define QXAISO_VALUE_SIZE 1024

/* Writes the option's value into out, which must hold QXAISO_VALUE_SIZE
 * bytes. Non-zero when it wrote an answer; 0 when the option has no value
 * (or an empty one), its value does not fit, the scope is not 1, or an
 * argument is null. out is untouched when the result is 0. */
int GetOption(int scope, const char* name, const char* option, char* out);

/* The same with the size of out given: 0 when the value and its NUL do not
 * fit in out_size bytes. */
int GetOption_Ex(int scope, const char* name, const char* option, char* out, int out_size);

/* Stores the option, or removes it when value is null or empty, and rewrites
 * the file atomically (a temporary file in the same directory renamed over
 * it), keeping its other lines and comments. Writers in several processes
 * are serialised by an flock on "<file>.lock". Non-zero on success; 0 for a
 * scope other than 1, a name containing ']' or a line break, an option name
 * that is empty or contains '=' or a line break, a value with a line break,
 * or a file that cannot be written. */
int SetOption(int scope, const char* name, const char* option, const char* value);

#ifdef __cplusplus
}
#endif

#endif /* QXAISO_H */
