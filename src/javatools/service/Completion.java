import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

import javax.tools.JavaCompiler;
import javax.tools.JavaFileManager;

/**
 * What can be typed at the caret, from the compiler's own view of the unsaved text.
 *
 * Request: 'K', u32 id, string path, string folder, string source, s32 caret (UTF-16 offset),
 *          u8 what (0 the names that can stand at the caret, 1 the parameter lists of the call the
 *          caret is in).
 * Reply:   'L', u32 id, s32 word start (where the name being typed begins; -1 when nothing fits there),
 *          u32 count, then count times: u8 kind, string name, string detail, u8 takes arguments;
 *          then s32 call start (offset of the call's '(', -1 outside a call), s32 argument (0-based,
 *          the one the caret is in), u32 count, then count times: string name, u32 n, n strings
 *          (the parameters).
 *
 * The text is mostly being typed and so usually wrong somewhere: it is attributed despite its errors,
 * with the bodies of the methods the caret is not in left out (they cannot be seen from it).
 */
final class Completion {
    static final int Local = 0, Field = 1, Method = 2, Type = 3, Package = 4, Keyword = 5;
    static final String Placeholder = "tolvaneCaret__";
    static final int MaxCandidates = 2000;

    private Completion() {
    }

    static final class Candidate {
        final int kind;
        final String name;
        final String detail;
        final boolean takesArguments;

        Candidate(int kind, String name, String detail, boolean takesArguments) {
            this.kind = kind;
            this.name = name;
            this.detail = detail;
            this.takesArguments = takesArguments;
        }
    }

    static final class Signature {
        final String name;
        final List<String> parameters;

        Signature(String name, List<String> parameters) {
            this.name = name;
            this.parameters = parameters;
        }
    }

    static final class Answer {
        int wordStart = -1;
        final List<Candidate> candidates = new ArrayList<>();
        int callStart = -1;
        int argument = 0;
        final List<Signature> signatures = new ArrayList<>();
    }

    static byte[] answer(JavaCompiler compiler, JavaFileManager files, DataInputStream in) throws IOException {
        final int id = in.readInt();
        final String path = CheckService.readString(in);
        final String folder = CheckService.readString(in);
        final String source = CheckService.readString(in);
        final int caret = in.readInt();
        final int what = in.readUnsignedByte();
        if (caret < 0 || caret > source.length())
            throw new IOException("caret " + caret + " outside a text of " + source.length());

        Answer answer;
        try {
            answer = what == 1 ? hint(compiler, files, path, folder, source, caret)
                               : complete(compiler, files, path, folder, source, caret);
        } catch (RuntimeException | Error crash) {
            // A compiler fault on odd input means nothing to offer, not the end of the service.
            System.err.println("compiler fault while completing: " + crash);
            answer = new Answer();
        }

        final ByteArrayOutputStream bytes = new ByteArrayOutputStream(4096);
        final DataOutputStream out = new DataOutputStream(bytes);
        out.writeByte('L');
        out.writeInt(id);
        out.writeInt(answer.wordStart);
        final int count = Math.min(answer.candidates.size(), MaxCandidates);
        out.writeInt(count);
        for (Candidate c : answer.candidates.subList(0, count)) {
            out.writeByte(c.kind);
            CheckService.writeString(out, c.name);
            CheckService.writeString(out, c.detail);
            out.writeByte(c.takesArguments ? 1 : 0);
        }
        out.writeInt(answer.callStart);
        out.writeInt(answer.argument);
        out.writeInt(answer.signatures.size());
        for (Signature s : answer.signatures) {
            CheckService.writeString(out, s.name);
            out.writeInt(s.parameters.size());
            for (String p : s.parameters)
                CheckService.writeString(out, p);
        }
        out.flush();
        return bytes.toByteArray();
    }

    // ---- The text around the caret, read as the compiler's scanner would.

    /** The text before the caret as the compiler's scanner reads it. */
    static final class Lexed {
        final boolean[] code; // for each character before the caret: it is code, not in a comment or a literal
        final boolean caretInCode;

        Lexed(String text, int caret) {
            code = new boolean[caret];
            final int Code = 0, Line = 1, Block = 2, Text = 3, Char = 4, TextBlock = 5;
            int state = Code;
            int i = 0;
            while (i < caret) {
                final char c = text.charAt(i);
                final char next = i + 1 < text.length() ? text.charAt(i + 1) : 0;
                final boolean lineEnd = c == '\n' || c == '\r';
                if (state == Code) {
                    if (c == '/' && next == '/')
                        state = Line;
                    else if (c == '/' && next == '*')
                        state = Block;
                    else if (text.startsWith("\"\"\"", i)) {
                        state = TextBlock;
                        i += 3;
                        continue;
                    } else if (c == '"')
                        state = Text;
                    else if (c == '\'')
                        state = Char;
                    else
                        code[i] = true;
                    i += state == Line || state == Block ? 2 : 1;
                } else if (state == Line) {
                    if (lineEnd)
                        state = Code;
                    else
                        ++i;
                } else if (state == Block) {
                    if (c == '*' && next == '/') {
                        state = Code;
                        i += 2;
                    } else
                        ++i;
                } else if (state == TextBlock) {
                    if (c == '\\')
                        i += 2;
                    else if (text.startsWith("\"\"\"", i)) {
                        state = Code;
                        i += 3;
                    } else
                        ++i;
                } else {
                    if (c == '\\')
                        i += 2;
                    else if (lineEnd)
                        state = Code; // an unclosed literal ends with its line
                    else {
                        if (c == (state == Text ? '"' : '\''))
                            state = Code;
                        ++i;
                    }
                }
            }
            // A caret in the middle of "/*" or of an escape is not in code either.
            caretInCode = state == Code && i == caret;
        }
    }

    static int wordStart(String text, int caret) {
        int start = caret;
        while (start > 0 && Character.isJavaIdentifierPart(text.charAt(start - 1)))
            --start;
        while (start < caret && !Character.isJavaIdentifierStart(text.charAt(start)))
            ++start;
        return start;
    }

    static int skipBackSpace(String text, int at) {
        while (at > 0 && Character.isWhitespace(text.charAt(at - 1)))
            --at;
        return at;
    }

    static boolean restOfLineBlank(String text, int from) {
        for (int i = from; i < text.length(); ++i) {
            final char c = text.charAt(i);
            if (c == '\n' || c == '\r')
                return true;
            if (!Character.isWhitespace(c))
                return text.startsWith("//", i);
        }
        return true;
    }

    // ---- Completion

    static Answer complete(JavaCompiler compiler, JavaFileManager files, String path, String folder, String source,
                           int caret) throws IOException {
        final Answer answer = new Answer();
        if (!new Lexed(source, caret).caretInCode)
            return answer;
        final int start = wordStart(source, caret);
        final String prefix = source.substring(start, caret);
        int end = caret;
        while (end < source.length() && Character.isJavaIdentifierPart(source.charAt(end)))
            ++end;
        if (!prefix.isEmpty() && Character.isDigit(prefix.charAt(0)))
            return answer; // a number being typed
        final int before = skipBackSpace(source, start);
        final boolean member = before > 0 && source.charAt(before - 1) == '.'
            && !(before > 1 && Character.isDigit(source.charAt(before - 2)) && !hasIdentifierBefore(source, before - 1));
        final boolean afterNew = !member && endsWithWord(source, before, "new");
        answer.wordStart = start;
        CompletionSession.within(compiler, files, path, folder, source, start, end, member,
                                 session -> session.collect(answer, member, afterNew));
        return answer;
    }

    private static boolean hasIdentifierBefore(String text, int at) {
        int k = at;
        while (k > 0 && Character.isJavaIdentifierPart(text.charAt(k - 1)))
            --k;
        return k < at && Character.isJavaIdentifierStart(text.charAt(k));
    }

    static boolean endsWithWord(String text, int at, String word) {
        return at >= word.length() && text.startsWith(word, at - word.length())
            && (at == word.length() || !Character.isJavaIdentifierPart(text.charAt(at - word.length() - 1)));
    }

    // ---- Parameter hints

    static Answer hint(JavaCompiler compiler, JavaFileManager files, String path, String folder, String source,
                       int caret) throws IOException {
        final Answer answer = new Answer();
        final Lexed lexed = new Lexed(source, caret);
        if (!lexed.caretInCode)
            return answer;
        final boolean[] code = lexed.code;
        int depth = 0;
        int commas = 0;
        int open = -1;
        for (int i = caret - 1; i >= 0 && open < 0; --i) {
            if (!code[i])
                continue;
            final char c = source.charAt(i);
            if (c == ')' || c == ']')
                ++depth;
            else if (c == '(' || c == '[') {
                if (depth == 0) {
                    if (c == '[')
                        return answer;
                    open = i;
                } else
                    --depth;
            } else if (depth == 0 && (c == ';' || c == '{' || c == '}'))
                return answer;
            else if (depth == 0 && c == ',')
                ++commas;
        }
        if (open < 0)
            return answer;
        final int nameEnd = skipBackSpace(source, open);
        final int nameStart = wordStart(source, nameEnd);
        if (nameStart == nameEnd)
            return answer;
        final String name = source.substring(nameStart, nameEnd);
        if (isKeyword(name) && !name.equals("this") && !name.equals("super"))
            return answer; // if (, while (, for (...
        final int before = skipBackSpace(source, nameStart);
        final boolean member = before > 0 && source.charAt(before - 1) == '.';
        final boolean constructor = !member && endsWithWord(source, skipBackSpace(source, nameStart), "new");
        answer.callStart = open;
        answer.argument = commas;
        CompletionSession.within(compiler, files, path, folder, source, nameStart, nameEnd, true,
                                 session -> session.signatures(answer, name, member, constructor));
        if (answer.signatures.isEmpty())
            answer.callStart = -1;
        return answer;
    }

    static boolean isKeyword(String word) {
        switch (word) {
        case "if": case "for": case "while": case "switch": case "catch": case "synchronized": case "return":
        case "new": case "this": case "super": case "try": case "assert": case "throw": case "else": case "do":
            return true;
        default:
            return false;
        }
    }
}
