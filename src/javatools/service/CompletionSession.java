import com.sun.source.tree.BlockTree;
import com.sun.source.tree.ClassTree;
import com.sun.source.tree.CompilationUnitTree;
import com.sun.source.tree.IdentifierTree;
import com.sun.source.tree.ImportTree;
import com.sun.source.tree.MemberSelectTree;
import com.sun.source.tree.MethodTree;
import com.sun.source.tree.Tree;
import com.sun.source.util.JavacTask;
import com.sun.source.util.SourcePositions;
import com.sun.source.util.TreePath;
import com.sun.source.util.TreePathScanner;
import com.sun.source.util.Trees;

import java.io.IOException;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.ConcurrentHashMap;
import java.util.function.Consumer;

import javax.lang.model.element.Element;
import javax.lang.model.element.ElementKind;
import javax.lang.model.element.ExecutableElement;
import javax.lang.model.element.Modifier;
import javax.lang.model.element.ModuleElement;
import javax.lang.model.element.PackageElement;
import javax.lang.model.element.TypeElement;
import javax.lang.model.element.VariableElement;
import javax.lang.model.type.ArrayType;
import javax.lang.model.type.DeclaredType;
import javax.lang.model.type.ExecutableType;
import javax.lang.model.type.TypeKind;
import javax.lang.model.type.TypeMirror;
import javax.lang.model.type.TypeVariable;
import javax.lang.model.util.Elements;
import javax.lang.model.util.Types;
import javax.tools.JavaCompiler;
import javax.tools.JavaFileManager;
import javax.tools.JavaFileObject;

/** One attribution of the text prepared for the place asked about. */
final class CompletionSession {
    final String text; // what the compiler sees
    final String root; // the folder of the document's program, "" for none
    final int start;   // where the word at the caret begins in it
    final int end;     // and ends
    final JavacTask task;
    final Trees trees;
    final Elements elements;
    final Types types;
    final CompilationUnitTree unit;
    TreePath path; // the innermost tree at the word
    private boolean crashed;

    /** Prepares the text for the word from start to end and runs use on its attribution. */
    static void within(JavaCompiler compiler, JavaFileManager files, String path, String folder, String source,
                       int start, int end, boolean member, Consumer<CompletionSession> use) throws IOException {
        final String pruned = pruned(compiler, files, path, source, start);
        // An empty word gets a name so that the parser keeps the tree it is part of; a member
        // typed at the end of a line ends its statement there rather than run into the next line.
        String insert = start == end ? Completion.Placeholder : "";
        if (member && Completion.restOfLineBlank(pruned, end))
            insert += ";";
        final String text = pruned.substring(0, end) + insert + pruned.substring(end);
        final int wordEnd = start == end ? end + Completion.Placeholder.length() : end;

        final List<String> options = new ArrayList<>(List.of("-proc:none", "-implicit:none", "-Xlint:none",
            "-XDshould-stop.ifError=ATTR", "-XDshould-stop.ifNoError=ATTR", "-sourcepath", folder, "-classpath", folder));
        final JavaFileObject unitSource = new CheckService.EditorSource(path, text, !folder.isEmpty());
        ReusedTasks.run(compiler, files, d -> { }, options, folder, List.of(unitSource), task -> {
            final CompletionSession session = new CompletionSession(task, text, folder, start, wordEnd);
            use.accept(session);
            // A compiler that failed half-way may be left in a state no later task should inherit.
            if (session.crashed)
                throw new ReusedTasks.NotReusable(null);
            return null;
        });
    }

    private CompletionSession(JavacTask task, String text, String root, int start, int end) throws IOException {
        this.root = root;
        this.task = task;
        this.text = text;
        this.start = start;
        this.end = end;
        trees = Trees.instance(task);
        elements = task.getElements();
        types = task.getTypes();
        unit = task.parse().iterator().next();
        try {
            task.analyze();
        } catch (RuntimeException | Error crash) {
            System.err.println("compiler fault while attributing: " + crash);
            crashed = true;
        }
        this.path = innermost(unit, trees.getSourcePositions(), this.start, this.end);
    }

    /** The source with the bodies of the methods that do not hold the caret blanked (offsets kept). */
    static String pruned(JavaCompiler compiler, JavaFileManager files, String path, String source, int caret)
        throws IOException {
        final JavaFileObject object = new CheckService.EditorSource(path, source, false);
        final char[] chars = source.toCharArray();
        ReusedTasks.run(compiler, files, d -> { }, List.of("-proc:none"), "", List.of(object), parser -> {
            blankOtherBodies(parser, caret, chars);
            return null;
        });
        return new String(chars);
    }

    private static void blankOtherBodies(JavacTask parser, int caret, char[] chars) throws IOException {
        final CompilationUnitTree parsed = parser.parse().iterator().next();
        final SourcePositions positions = Trees.instance(parser).getSourcePositions();
        new TreePathScanner<Void, Void>() {
            @Override
            public Void visitMethod(MethodTree method, Void unused) {
                final BlockTree body = method.getBody();
                if (body == null)
                    return null;
                final long from = positions.getStartPosition(parsed, body);
                final long to = positions.getEndPosition(parsed, body);
                if (from < 0 || to <= from || to > chars.length)
                    return null;
                if (caret > from && caret < to)
                    return super.visitMethod(method, unused);
                // Keep the braces and the line ends, so every position and line stays where it was.
                for (int i = (int) from + 1; i < to - 1; ++i) {
                    if (chars[i] != '\n' && chars[i] != '\r')
                        chars[i] = ' ';
                }
                return null;
            }
        }.scan(parsed, null);
    }

    static TreePath innermost(CompilationUnitTree unit, SourcePositions positions, int start, int end) {
        final TreePath[] found = {new TreePath(unit)};
        new TreePathScanner<Void, Void>() {
            @Override
            public Void scan(Tree tree, Void unused) {
                if (tree == null)
                    return null;
                final long from = positions.getStartPosition(unit, tree);
                final long to = positions.getEndPosition(unit, tree);
                if (from >= 0 && (from > start || to < end))
                    return null; // does not hold the word: nothing inside it does either
                if (from >= 0)
                    found[0] = new TreePath(getCurrentPath(), tree);
                return super.scan(tree, unused);
            }

            @Override
            public Void visitErroneous(com.sun.source.tree.ErroneousTree erroneous, Void unused) {
                // What the parser could not place ("not a statement") is still attributed.
                return scan(erroneous.getErrorTrees(), unused);
            }
        }.scan(unit, null);
        return found[0];
    }

    // The member select or identifier that is the word, and the scope there.
    MemberSelectTree memberSelect() {
        for (TreePath p = path; p != null; p = p.getParentPath()) {
            if (p.getLeaf() instanceof MemberSelectTree) {
                final MemberSelectTree select = (MemberSelectTree) p.getLeaf();
                final long to = trees.getSourcePositions().getEndPosition(unit, select);
                if (to == end) {
                    path = p;
                    return select;
                }
            }
        }
        return null;
    }

    void collect(Completion.Answer answer, boolean member, boolean afterNew) {
        final com.sun.source.tree.Scope scope = trees.getScope(path);
        final Map<String, Completion.Candidate> found = new LinkedHashMap<>();
        final String qualifier = PackageNames.qualifier(text, start);
        if (member) {
            final MemberSelectTree select = memberSelect();
            if (select != null)
                membersOf(new TreePath(path, select.getExpression()), scope, found, null);
            // A name the compiler does not know may still be the start of a package's name.
            final Element before = select == null ? null : trees.getElement(new TreePath(path, select.getExpression()));
            if (qualifier != null && !qualifier.isEmpty() && (before == null || before.getKind() == ElementKind.PACKAGE))
                PackageNames.addBelow(qualifier, elements, root, found);
        } else if (inImport()) {
            PackageNames.addBelow("", elements, root, found);
            typesInScope(scope, found, false);
        } else if (afterNew) {
            typesInScope(scope, found, true);
        } else {
            localsInScope(scope, found);
            membersInScope(scope, found, null);
            typesInScope(scope, found, false);
            keywords(found);
        }
        answer.candidates.addAll(found.values());
    }

    /** Whether the word is in an import declaration. */
    boolean inImport() {
        final int lineStart = Math.max(text.lastIndexOf('\n', start - 1), text.lastIndexOf('\r', start - 1)) + 1;
        return text.substring(lineStart, start).matches("\\s*import\\s+(static\\s+)?[\\w$.\\s]*");
    }

    void signatures(Completion.Answer answer, String name, boolean member, boolean constructor) {
        final com.sun.source.tree.Scope scope = trees.getScope(path);
        final Map<String, Completion.Candidate> found = new LinkedHashMap<>();
        final List<ExecutableElement> methods = new ArrayList<>();
        if (constructor) {
            final Map<String, Completion.Candidate> typesFound = new LinkedHashMap<>();
            final List<TypeElement> matching = new ArrayList<>();
            collectTypes(scope, typesFound, true, matching);
            for (TypeElement type : matching) {
                if (!type.getSimpleName().contentEquals(name))
                    continue;
                for (Element e : type.getEnclosedElements()) {
                    if (e.getKind() == ElementKind.CONSTRUCTOR && accessible(scope, e, type.asType()))
                        methods.add((ExecutableElement) e);
                }
                break;
            }
        } else if (member) {
            final MemberSelectTree select = memberSelect();
            if (select != null)
                membersOf(new TreePath(path, select.getExpression()), scope, found, methods);
        } else {
            membersInScope(scope, found, methods);
        }
        for (ExecutableElement m : methods) {
            if (!constructor && !m.getSimpleName().contentEquals(name))
                continue;
            final List<String> parameters = new ArrayList<>();
            final ExecutableType type = (ExecutableType) m.asType();
            for (int i = 0; i < m.getParameters().size(); ++i)
                parameters.add(parameterText(m, type, i));
            answer.signatures.add(new Completion.Signature(name, parameters));
        }
    }

    // -- after "expr."

    void membersOf(TreePath expression, com.sun.source.tree.Scope scope, Map<String, Completion.Candidate> found,
                   List<ExecutableElement> methods) {
        final Element element = trees.getElement(expression);
        final TypeMirror type = trees.getTypeMirror(expression);
        if (element != null && element.getKind() == ElementKind.PACKAGE) {
            for (Element e : ((PackageElement) element).getEnclosedElements()) {
                if (e instanceof TypeElement && accessibleType(scope, (TypeElement) e))
                    add(found, typeCandidate((TypeElement) e));
            }
            return;
        }
        final boolean typeName = element != null && (element.getKind().isClass() || element.getKind().isInterface())
            && isTypeName(expression.getLeaf());
        if (typeName) {
            final TypeElement owner = (TypeElement) element;
            members(owner, owner.asType(), scope, found, methods, true, false);
            add(found, new Completion.Candidate(Completion.Keyword, "class", "", false));
            return;
        }
        if (type == null)
            return;
        if (type.getKind() == TypeKind.ARRAY) {
            add(found, new Completion.Candidate(Completion.Field, "length", "int", false));
            add(found, new Completion.Candidate(Completion.Method, "clone", "() : " + typeText(type), false)); // public for arrays
            final TypeElement object = elements.getTypeElement("java.lang.Object");
            members(object, object.asType(), scope, found, methods, false, false);
            return;
        }
        TypeMirror site = type;
        if (site.getKind() == TypeKind.TYPEVAR)
            site = ((TypeVariable) site).getUpperBound();
        if (site.getKind() == TypeKind.INTERSECTION || site.getKind() == TypeKind.UNION)
            site = types.erasure(site);
        if (site.getKind() != TypeKind.DECLARED)
            return;
        final TypeElement owner = (TypeElement) ((DeclaredType) site).asElement();
        members(owner, site, scope, found, methods, false, true);
    }

    static boolean isTypeName(Tree tree) {
        return tree instanceof IdentifierTree || tree instanceof MemberSelectTree;
    }

    /** The members of owner seen through site: statics only for a type name, instance ones for a value. */
    void members(TypeElement owner, TypeMirror site, com.sun.source.tree.Scope scope, Map<String, Completion.Candidate> found,
                 List<ExecutableElement> methods, boolean statics, boolean instances) {
        final Set<String> seen = new HashSet<>();
        for (Element e : elements.getAllMembers(owner)) {
            final boolean isStatic = e.getModifiers().contains(Modifier.STATIC);
            final ElementKind kind = e.getKind();
            final boolean nestedType = kind.isClass() || kind.isInterface();
            if (kind == ElementKind.CONSTRUCTOR || kind == ElementKind.STATIC_INIT || kind == ElementKind.INSTANCE_INIT)
                continue;
            if (nestedType ? !statics : (isStatic ? !statics : !instances))
                continue;
            if (!accessible(scope, e, site))
                continue;
            final Completion.Candidate c = candidate(e, site);
            if (c == null || !seen.add(c.name + c.detail))
                continue;
            if (methods != null && kind == ElementKind.METHOD)
                methods.add((ExecutableElement) e);
            add(found, c);
        }
    }

    // -- a name on its own

    void localsInScope(com.sun.source.tree.Scope scope, Map<String, Completion.Candidate> found) {
        for (com.sun.source.tree.Scope s = scope; s != null; s = s.getEnclosingScope()) {
            for (Element e : s.getLocalElements()) {
                // Pattern bindings (instanceof String t) are variables too, on a JDK that has them.
                final boolean variable = e instanceof VariableElement && e.getKind() != ElementKind.FIELD
                    && e.getKind() != ElementKind.ENUM_CONSTANT;
                if (variable && !e.getSimpleName().contentEquals(Completion.Placeholder))
                    add(found, new Completion.Candidate(Completion.Local, e.getSimpleName().toString(), typeText(e.asType()), false));
            }
        }
    }

    /** The fields, methods and member types of the enclosing classes, in the static context that holds. */
    void membersInScope(com.sun.source.tree.Scope scope, Map<String, Completion.Candidate> found, List<ExecutableElement> methods) {
        boolean instances = !staticContext(path);
        TreePath p = path;
        for (TypeElement type = scope.getEnclosingClass(); type != null; ) {
            members(type, type.asType(), scope, found, methods, true, instances);
            // The outer class's instance members are there only from an inner (non-static) class.
            if (type.getModifiers().contains(Modifier.STATIC) || type.getKind() != ElementKind.CLASS)
                instances = false;
            final Element outer = type.getEnclosingElement();
            if (!(outer instanceof TypeElement)) {
                // A local or anonymous class: the method around it decides.
                while (p != null && !(p.getLeaf() instanceof ClassTree && trees.getElement(p) == type))
                    p = p.getParentPath();
                if (p == null || p.getParentPath() == null)
                    break;
                p = p.getParentPath();
                final com.sun.source.tree.Scope around = trees.getScope(p);
                final TypeElement next = around.getEnclosingClass();
                if (next == null || next == type)
                    break;
                instances = instances && !staticContext(p);
                type = next;
                continue;
            }
            type = (TypeElement) outer;
        }
        // Static imports.
        for (ImportTree i : unit.getImports()) {
            if (!i.isStatic() || !(i.getQualifiedIdentifier() instanceof MemberSelectTree))
                continue;
            final MemberSelectTree q = (MemberSelectTree) i.getQualifiedIdentifier();
            final TypeElement owner = elements.getTypeElement(q.getExpression().toString());
            if (owner == null)
                continue;
            final String name = q.getIdentifier().toString();
            for (Element e : elements.getAllMembers(owner)) {
                if (e.getModifiers().contains(Modifier.STATIC) && (name.equals("*") || e.getSimpleName().contentEquals(name))
                    && accessible(scope, e, owner.asType())) {
                    final Completion.Candidate c = candidate(e, owner.asType());
                    if (c != null) {
                        if (methods != null && e.getKind() == ElementKind.METHOD)
                            methods.add((ExecutableElement) e);
                        add(found, c);
                    }
                }
            }
        }
    }

    /** Whether the code at p cannot use the instance members of the class around it. */
    boolean staticContext(TreePath p) {
        for (; p != null; p = p.getParentPath()) {
            final Tree leaf = p.getLeaf();
            final TreePath parent = p.getParentPath();
            if (leaf instanceof ClassTree)
                return false;
            if (parent == null || !(parent.getLeaf() instanceof ClassTree))
                continue;
            // A member of the class: a static method, initializer, or field.
            if (leaf instanceof MethodTree)
                return ((MethodTree) leaf).getModifiers().getFlags().contains(Modifier.STATIC);
            if (leaf instanceof BlockTree)
                return ((BlockTree) leaf).isStatic();
            if (leaf instanceof com.sun.source.tree.VariableTree)
                return ((com.sun.source.tree.VariableTree) leaf).getModifiers().getFlags().contains(Modifier.STATIC);
        }
        return false;
    }

    void typesInScope(com.sun.source.tree.Scope scope, Map<String, Completion.Candidate> found, boolean constructible) {
        collectTypes(scope, found, constructible, new ArrayList<>());
    }

    void collectTypes(com.sun.source.tree.Scope scope, Map<String, Completion.Candidate> found, boolean constructible,
                      List<TypeElement> types) {
        final Set<String> names = new HashSet<>();
        final List<TypeElement> all = new ArrayList<>();
        // Local and member types, innermost first.
        for (com.sun.source.tree.Scope s = scope; s != null; s = s.getEnclosingScope()) {
            for (Element e : s.getLocalElements()) {
                if (e instanceof TypeElement)
                    all.add((TypeElement) e);
            }
        }
        for (TypeElement t = scope.getEnclosingClass(); t != null; ) {
            all.add(t);
            for (Element e : elements.getAllMembers(t)) {
                if (e instanceof TypeElement)
                    all.add((TypeElement) e);
            }
            final Element outer = t.getEnclosingElement();
            t = outer instanceof TypeElement ? (TypeElement) outer : null;
        }
        // The document's own classes and those of its package.
        for (Tree decl : unit.getTypeDecls()) {
            final Element e = trees.getElement(new TreePath(new TreePath(unit), decl));
            if (e instanceof TypeElement)
                all.add((TypeElement) e);
        }
        final PackageElement own = unit.getPackageName() == null ? elements.getPackageElement("")
            : elements.getPackageElement(unit.getPackageName().toString());
        addPackageTypes(own, all);
        for (ImportTree i : unit.getImports()) {
            if (i.isStatic() || !(i.getQualifiedIdentifier() instanceof MemberSelectTree))
                continue;
            final MemberSelectTree q = (MemberSelectTree) i.getQualifiedIdentifier();
            if (q.getIdentifier().contentEquals("*")) {
                final String name = q.getExpression().toString();
                final PackageElement pkg = elements.getPackageElement(name);
                if (pkg != null)
                    addPackageTypes(pkg, all);
                else {
                    final TypeElement outer = elements.getTypeElement(name);
                    if (outer != null)
                        for (Element e : outer.getEnclosedElements())
                            if (e instanceof TypeElement)
                                all.add((TypeElement) e);
                }
            } else {
                final TypeElement t = elements.getTypeElement(q.toString());
                if (t != null)
                    all.add(t);
            }
        }
        addPackageTypes(elements.getPackageElement("java.lang"), all);
        for (TypeElement t : all) {
            final String name = t.getSimpleName().toString();
            if (name.isEmpty() || !names.add(name))
                continue; // the nearer declaration hides the further one
            if (!accessibleType(scope, t) || (constructible && !constructible(scope, t)))
                continue;
            types.add(t);
            add(found, typeCandidate(t));
        }
    }

    void addPackageTypes(PackageElement pkg, List<TypeElement> all) {
        if (pkg == null)
            return;
        for (Element e : pkg.getEnclosedElements())
            if (e instanceof TypeElement)
                all.add((TypeElement) e);
    }

    boolean constructible(com.sun.source.tree.Scope scope, TypeElement t) {
        final String key = "new " + t.getQualifiedName();
        final Boolean known = jdkFacts(t) ? JdkFacts.get(key) : null;
        if (known != null)
            return known;
        boolean can = false;
        if (t.getKind() == ElementKind.INTERFACE)
            can = true; // an anonymous class
        else if (t.getKind() == ElementKind.CLASS) {
            for (Element e : t.getEnclosedElements())
                if (e.getKind() == ElementKind.CONSTRUCTOR && accessible(scope, e, t.asType()))
                    can = true;
        }
        if (jdkFacts(t))
            JdkFacts.put(key, can);
        return can;
    }

    /** Facts about the JDK's own classes hold for the life of the service: they are read once. */
    boolean jdkFacts(TypeElement t) {
        final ModuleElement module = elements.getModuleOf(t);
        return module != null && !module.isUnnamed();
    }

    boolean accessibleType(com.sun.source.tree.Scope scope, TypeElement t) {
        final String key = "public " + t.getQualifiedName();
        final Boolean known = jdkFacts(t) ? JdkFacts.get(key) : null;
        if (known != null)
            return known;
        final boolean can = t.getNestingKind() != javax.lang.model.element.NestingKind.ANONYMOUS
            && trees.isAccessible(scope, t);
        if (jdkFacts(t) && t.getModifiers().contains(Modifier.PUBLIC))
            JdkFacts.put(key, can);
        return can;
    }

    boolean accessible(com.sun.source.tree.Scope scope, Element e, TypeMirror site) {
        if (site.getKind() != TypeKind.DECLARED)
            return true;
        try {
            return trees.isAccessible(scope, e, (DeclaredType) site);
        } catch (RuntimeException odd) {
            return false;
        }
    }

    void keywords(Map<String, Completion.Candidate> found) {
        // The nearest block, initializer, class or file around the word says what may begin there.
        Tree around = null;
        for (TreePath p = path.getLeaf() instanceof IdentifierTree ? path.getParentPath() : path; p != null;
             p = p.getParentPath()) {
            final Tree t = p.getLeaf();
            if (t instanceof BlockTree || t instanceof ClassTree || t instanceof CompilationUnitTree
                || t instanceof com.sun.source.tree.LambdaExpressionTree || initializerHoldsWord(t)) {
                around = t;
                break;
            }
        }
        String[] words;
        if (around == null || around instanceof CompilationUnitTree)
            words = TopLevelKeywords;
        else if (around instanceof ClassTree)
            words = MemberKeywords;
        else if (around instanceof BlockTree && inStatementPosition())
            words = StatementKeywords;
        else
            words = ExpressionKeywords;
        for (String w : words)
            add(found, new Completion.Candidate(Completion.Keyword, w, "", false));
    }

    boolean initializerHoldsWord(Tree t) {
        if (!(t instanceof com.sun.source.tree.VariableTree))
            return false;
        final Tree init = ((com.sun.source.tree.VariableTree) t).getInitializer();
        if (init == null)
            return false;
        final SourcePositions positions = trees.getSourcePositions();
        return positions.getStartPosition(unit, init) <= start && positions.getEndPosition(unit, init) >= end;
    }

    /** Whether the word begins a statement: first in a block, or after one ended. */
    boolean inStatementPosition() {
        int at = Completion.skipBackSpace(text, start);
        while (at > 1 && text.startsWith("*/", at - 2)) {
            final int open = text.lastIndexOf("/*", at - 2);
            if (open < 0)
                break;
            at = Completion.skipBackSpace(text, open);
        }
        if (at == 0)
            return true;
        final char c = text.charAt(at - 1);
        return c == ';' || c == '{' || c == '}' || c == ':' || c == ')' && inControlHead(at - 1);
    }

    /** Whether the ')' at close ends the head of an if, for or while (a statement may follow). */
    boolean inControlHead(int close) {
        int depth = 0;
        for (int i = close; i >= 0; --i) {
            final char c = text.charAt(i);
            if (c == ')')
                ++depth;
            else if (c == '(' && --depth == 0) {
                final int w = Completion.skipBackSpace(text, i);
                return Completion.endsWithWord(text, w, "if") || Completion.endsWithWord(text, w, "for")
                    || Completion.endsWithWord(text, w, "while");
            }
        }
        return false;
    }

    // -- how candidates look

    Completion.Candidate candidate(Element e, TypeMirror site) {
        final String name = e.getSimpleName().toString();
        switch (e.getKind()) {
        case FIELD: case ENUM_CONSTANT: {
            TypeMirror t = e.asType();
            try {
                if (site.getKind() == TypeKind.DECLARED)
                    t = types.asMemberOf((DeclaredType) site, e);
            } catch (IllegalArgumentException odd) {
                // the declared type as it stands
            }
            return new Completion.Candidate(Completion.Field, name, typeText(t), false);
        }
        case METHOD: {
            final ExecutableElement m = (ExecutableElement) e;
            ExecutableType t = (ExecutableType) m.asType();
            try {
                if (site.getKind() == TypeKind.DECLARED)
                    t = (ExecutableType) types.asMemberOf((DeclaredType) site, e);
            } catch (IllegalArgumentException odd) {
                // the declared type as it stands
            }
            final StringBuilder detail = new StringBuilder("(");
            for (int i = 0; i < m.getParameters().size(); ++i) {
                if (i > 0)
                    detail.append(", ");
                detail.append(parameterText(m, t, i));
            }
            detail.append(") : ").append(typeText(t.getReturnType()));
            return new Completion.Candidate(Completion.Method, name, detail.toString(), !m.getParameters().isEmpty());
        }
        default:
            return e instanceof TypeElement ? typeCandidate((TypeElement) e) : null;
        }
    }

    Completion.Candidate typeCandidate(TypeElement t) {
        final Element owner = t.getEnclosingElement();
        String where = "";
        if (owner instanceof PackageElement)
            where = ((PackageElement) owner).getQualifiedName().toString();
        else if (owner instanceof TypeElement)
            where = ((TypeElement) owner).getQualifiedName().toString();
        return new Completion.Candidate(Completion.Type, t.getSimpleName().toString(), where, false);
    }

    String parameterText(ExecutableElement m, ExecutableType t, int i) {
        final VariableElement p = m.getParameters().get(i);
        TypeMirror type = i < t.getParameterTypes().size() ? t.getParameterTypes().get(i) : p.asType();
        String text = typeText(type);
        if (m.isVarArgs() && i == m.getParameters().size() - 1 && type.getKind() == TypeKind.ARRAY)
            text = typeText(((ArrayType) type).getComponentType()) + "...";
        final String name = p.getSimpleName().toString();
        // Classes read from the JDK often carry no parameter names, only arg0, arg1...
        if (!name.matches("arg\\d+"))
            text += " " + name;
        return text;
    }

    static String typeText(TypeMirror type) {
        if (type == null)
            return "";
        // Qualified names read badly in a list: java.util.List<java.lang.String> becomes List<String>.
        return type.toString().replaceAll("\\b(?:[a-z_][\\w$]*\\.)+(?=[A-Z])", "");
    }

    static final Map<String, Boolean> JdkFacts = new ConcurrentHashMap<>();

    static void add(Map<String, Completion.Candidate> found, Completion.Candidate c) {
        found.putIfAbsent(c.kind + " " + c.name + " " + c.detail, c);
    }

    static final String[] StatementKeywords = {"assert", "boolean", "break", "byte", "char", "continue", "do", "double",
        "else", "false", "final", "float", "for", "if", "int", "long", "new", "null", "return", "short", "super",
        "switch", "synchronized", "this", "throw", "true", "try", "var", "while"};
    static final String[] ExpressionKeywords = {"false", "new", "null", "super", "this", "true", "instanceof"};
    static final String[] MemberKeywords = {"abstract", "boolean", "byte", "char", "class", "double", "enum", "final",
        "float", "int", "interface", "long", "native", "private", "protected", "public", "short", "static",
        "synchronized", "transient", "void", "volatile"};
    static final String[] TopLevelKeywords = {"abstract", "class", "enum", "final", "import", "interface", "package",
        "public"};
}
