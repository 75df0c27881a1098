import java.io.File;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;

import javax.lang.model.element.Element;
import javax.lang.model.element.ModuleElement;
import javax.lang.model.element.PackageElement;
import javax.lang.model.util.Elements;
import javax.lang.model.SourceVersion;

/**
 * The names of packages that can follow a package prefix (java. offers util, io, lang...): those the
 * JDK's modules export to every program, and the folders under the program's source folder.
 */
final class PackageNames {
    private static volatile List<String> jdk; // the exported packages of the JDK; they do not change

    private PackageNames() {
    }

    /**
     * The dotted name before the word at start ("java.util" for "java.util.Li"), or "" when the
     * word has no dot before it, or null when what is before the dot is no plain name.
     */
    static String qualifier(String text, int start) {
        int at = Completion.skipBackSpace(text, start);
        if (at == 0 || text.charAt(at - 1) != '.')
            return "";
        final List<String> parts = new ArrayList<>();
        while (at > 0 && text.charAt(at - 1) == '.') {
            final int end = Completion.skipBackSpace(text, at - 1);
            final int begin = Completion.wordStart(text, end);
            final String part = text.substring(begin, end);
            if (!SourceVersion.isIdentifier(part) || SourceVersion.isKeyword(part))
                return null;
            parts.add(0, part);
            at = Completion.skipBackSpace(text, begin);
        }
        // A call or an index before the chain (f().x, a[0].x) makes it an expression, not a name.
        if (at > 0 && (text.charAt(at - 1) == ')' || text.charAt(at - 1) == ']'))
            return null;
        return String.join(".", parts);
    }

    /** Adds the packages one level below prefix ("" for the first level) to found. */
    static void addBelow(String prefix, Elements elements, String root, Map<String, Completion.Candidate> found) {
        final Set<String> names = new TreeSet<>();
        final String lead = prefix.isEmpty() ? "" : prefix + ".";
        for (String name : jdk(elements)) {
            if (name.startsWith(lead) && name.length() > lead.length()) {
                final int dot = name.indexOf('.', lead.length());
                names.add(name.substring(lead.length(), dot < 0 ? name.length() : dot));
            }
        }
        if (!root.isEmpty()) {
            final File[] folders = new File(root, prefix.replace('.', File.separatorChar)).listFiles(File::isDirectory);
            if (folders != null) {
                for (File folder : folders) {
                    if (SourceVersion.isIdentifier(folder.getName()) && !SourceVersion.isKeyword(folder.getName()))
                        names.add(folder.getName());
                }
            }
        }
        for (String name : names)
            CompletionSession.add(found, new Completion.Candidate(Completion.Package, name, lead + name, false));
    }

    private static List<String> jdk(Elements elements) {
        List<String> known = jdk;
        if (known != null)
            return known;
        final Set<String> names = new TreeSet<>();
        for (ModuleElement module : elements.getAllModuleElements()) {
            for (ModuleElement.Directive directive : module.getDirectives()) {
                if (!(directive instanceof ModuleElement.ExportsDirective))
                    continue;
                final ModuleElement.ExportsDirective exports = (ModuleElement.ExportsDirective) directive;
                if (exports.getTargetModules() == null) {
                    final Element pkg = exports.getPackage();
                    if (pkg instanceof PackageElement)
                        names.add(((PackageElement) pkg).getQualifiedName().toString());
                }
            }
        }
        known = List.copyOf(names);
        jdk = known;
        return known;
    }
}
